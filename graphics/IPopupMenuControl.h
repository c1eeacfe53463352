#pragma once

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"

#include <vector>

namespace plug::graphics
{

/** How an in-editor menu looks. Sizes in editor units. */
struct IPopupMenuStyle
{
  IText text = IText(13.f, IColor(255, 232, 232, 232), kDefaultFont, EAlign::Near);
  IColor background = IColor(255, 38, 38, 40);
  IColor frame = IColor(255, 92, 92, 96);
  IColor highlight = IColor(255, 52, 110, 190);
  IColor highlightText = COLOR_WHITE;
  IColor disabledText = IColor(255, 120, 120, 124);
  IColor separator = IColor(255, 80, 80, 84);
  IColor shadow = IColor(90, 0, 0, 0);
  float itemHeight = 20.f;
  float separatorHeight = 9.f;
  /** Above the first item and below the last. */
  float padding = 4.f;
  /** Left of the text, where the check mark goes. */
  float checkWidth = 18.f;
  /** Right of the text, where a submenu's arrow goes. */
  float arrowWidth = 14.f;
  float titleIndent = 12.f;
  /** Strips at the top and bottom of a panel that scrolls. */
  float scrollStripHeight = 12.f;
  /** Kept free between a panel and the editor's edges. */
  float margin = 2.f;
};

/**
 * The in-editor form of a popup menu: panels drawn over every control, one per open
 * (sub)menu. The root opens below the rectangle it is given (above it when there is no room
 * below), always inside the editor; a panel taller than the editor shrinks to it and scrolls.
 * Pointer: hovering highlights and opens submenus, a click on an item chooses it, a click
 * outside every panel dismisses. Keys: up and down move, right or Enter opens a submenu,
 * left or Escape closes one, Enter chooses, Escape on the root dismisses.
 *
 * The context owns it (AttachPopupMenuControl) and hands it each menu; the answer goes back
 * through the context (SetControlValueAfterPopupMenu).
 */
class IPopupMenuControl : public IControl
{
public:
  explicit IPopupMenuControl(const IPopupMenuStyle& style = IPopupMenuStyle());

  /** Shows `menu` for the rectangle `anchor`; the menus' chosen items are reset. */
  void Open(IPopupMenu& menu, const IRECT& anchor);
  /** Closes every panel and answers nothing (the context delivers, or not). */
  void Close();
  bool IsOpen() const { return !mPanels.empty(); }
  const IPopupMenuStyle& GetStyle() const { return mStyle; }

  // ---- What is shown, for the view and for tests ----------------------------------------

  int NPanels() const { return static_cast<int>(mPanels.size()); }
  const IPopupMenu* GetPanelMenu(int level) const;
  IRECT GetPanelRECT(int level) const;
  /** Where item `index` of panel `level` is drawn; empty when scrolled out of sight. */
  IRECT GetItemRECT(int level, int index) const;
  int GetHighlightedItem(int level) const;
  /** Index of the first item a panel shows (0 unless it scrolls). */
  int GetFirstShownItem(int level) const;
  bool PanelScrolls(int level) const;

  void Draw(ICanvas& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

private:
  struct Panel
  {
    IPopupMenu* menu = nullptr;
    IRECT rect;
    /** Item heights from the top of the list, one more entry than items. */
    std::vector<float> tops;
    bool scrolls = false;
    int first = 0;
    int highlight = -1;
  };

  Panel MakePanel(IPopupMenu& menu, const IRECT& anchor, bool beside) const;
  float MeasureWidth(const IPopupMenu& menu) const;
  /** The rectangle the items are shown in (inside padding and scroll strips). */
  IRECT ListRECT(const Panel& panel) const;
  /** Item under (x, y) in `panel`, or -1. */
  int ItemAt(const Panel& panel, float x, float y) const;
  /** The deepest panel containing (x, y), or -1. */
  int PanelAt(float x, float y) const;
  bool Selectable(const IPopupMenu& menu, int index) const;
  /** Scrolls `panel` so that item `index` is shown whole. */
  void ScrollTo(Panel& panel, int index);
  void Scroll(Panel& panel, int items);
  int LastFirst(const Panel& panel) const;
  void Track(float x, float y);
  void Highlight(int level, int index, bool openSubmenu);
  void OpenSubmenu(int level, int index);
  void CloseFrom(int level);
  void MoveHighlight(int level, int step);
  void Choose(int level, int index);
  void Dismiss();
  /** Sets the rectangle to cover every panel and its shadow, redrawing what it left. */
  void UpdateBounds();
  void DrawPanel(ICanvas& g, const Panel& panel) const;

  IPopupMenuStyle mStyle;
  IRECT mAnchor;
  std::vector<Panel> mPanels;
  /** Where the menu opened: the release of the press that opened it chooses nothing. */
  float mOpenX = 0.f;
  float mOpenY = 0.f;
  bool mPressInside = false;
  bool mMovedSinceOpen = false;
};

} // namespace plug::graphics
