#include "graphics/IContainerBase.h"

#include "graphics/ICanvas.h"

namespace plug::graphics
{

IContainerBase::~IContainerBase()
{
  for (Pending& p : mPending)
    delete p.control;
}

IControl* IContainerBase::AddChildControl(IControl* child, int tag, const char* group)
{
  if (!child)
    return nullptr;
  child->SetParent(this);
  if (ICanvas* ui = GetUI(); ui && ui->GetControlIdx(this) >= 0)
  {
    if (IControl* attached = ui->AttachControl(child, tag, group))
      mChildren.push_back(attached);
    return child;
  }
  mPending.push_back({child, tag, group ? group : ""});
  return child;
}

IControl* IContainerBase::GetChild(int idx) const
{
  return (idx >= 0 && idx < NChildren()) ? mChildren[size_t(idx)] : nullptr;
}

void IContainerBase::RemoveChild(IControl* child)
{
  std::erase(mChildren, child);
}

void IContainerBase::OnAttached()
{
  std::vector<Pending> pending;
  pending.swap(mPending);
  for (Pending& p : pending)
    if (IControl* attached = GetUI()->AttachControl(p.control, p.tag, p.group.c_str()))
      mChildren.push_back(attached);
}

void IContainerBase::Hide(bool hide)
{
  IControl::Hide(hide);
  for (IControl* child : mChildren)
    child->Hide(hide);
}

void IContainerBase::SetDisabled(bool disable)
{
  IControl::SetDisabled(disable);
  for (IControl* child : mChildren)
    child->SetDisabled(disable);
}

} // namespace plug::graphics
