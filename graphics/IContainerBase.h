#pragma once

#include "graphics/IControl.h"

#include <vector>

namespace plug::graphics
{

/**
 * A control that holds other controls. Its children join the context's list right after it
 * (so they are drawn on top of it and hit first), know it as their parent, and are clipped
 * to its rectangle when drawn. Hiding or disabling a container does the same to its
 * children.
 */
class IContainerBase : public IControl
{
public:
  explicit IContainerBase(const IRECT& bounds, int paramIdx = kNoParameter)
    : IControl(bounds, paramIdx)
  {
  }
  ~IContainerBase() override;

  /** Takes ownership of `child`; once this container is attached, so is the child. Returns
   *  the child. */
  IControl* AddChildControl(IControl* child, int tag = kNoTag, const char* group = "");
  int NChildren() const { return static_cast<int>(mChildren.size()); }
  /** Null when out of range or not yet attached. */
  IControl* GetChild(int idx) const;

  /** Forgets a child that the context is deleting. */
  void RemoveChild(IControl* child);

  void OnAttached() override;
  void Hide(bool hide) override;
  void SetDisabled(bool disable) override;

private:
  struct Pending
  {
    IControl* control;
    int tag;
    std::string group;
  };
  std::vector<Pending> mPending; // owned until attached
  std::vector<IControl*> mChildren;
};

} // namespace plug::graphics
