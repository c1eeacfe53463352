#include "graphics/IPopupMenuControl.h"

#include "graphics/ICanvas.h"

#include <algorithm>
#include <cmath>

namespace plug::graphics
{

namespace
{
/** A press that opened the menu and moves less than this is not a choice when released. */
constexpr float kClickSlop = 4.f;
constexpr float kShadowOffset = 3.f;

void ResetChoices(IPopupMenu& menu)
{
  menu.SetChosenItemIdx(-1);
  for (int i = 0; i < menu.NItems(); ++i)
    if (IPopupMenu* sub = menu.GetItem(i)->GetSubmenu())
      ResetChoices(*sub);
}
} // namespace

IPopupMenuControl::IPopupMenuControl(const IPopupMenuStyle& style)
  : IControl(IRECT())
  , mStyle(style)
{
  mText = style.text;
}

// ---- Opening and closing --------------------------------------------------------------------

void IPopupMenuControl::Open(IPopupMenu& menu, const IRECT& anchor)
{
  if (!GetUI())
    return;
  mPanels.clear();
  ResetChoices(menu);
  mAnchor = anchor;
  GetUI()->GetMouseDownPoint(mOpenX, mOpenY);
  mPressInside = false;
  mMovedSinceOpen = false;
  mPanels.push_back(MakePanel(menu, anchor, false));
  // A long menu opens with its checked item in sight.
  Panel& root = mPanels.front();
  for (int i = 0; i < menu.NItems(); ++i)
    if (menu.IsItemChecked(i))
    {
      ScrollTo(root, i);
      break;
    }
  UpdateBounds();
}

void IPopupMenuControl::Close()
{
  if (mPanels.empty())
    return;
  mPanels.clear();
  UpdateBounds();
}

void IPopupMenuControl::Dismiss()
{
  if (GetUI())
    GetUI()->DismissPopupMenu();
  else
    Close();
}

void IPopupMenuControl::Choose(int level, int index)
{
  IPopupMenu* menu = mPanels[size_t(level)].menu;
  if (!Selectable(*menu, index))
    return;
  if (menu->GetItem(index)->GetSubmenu())
  {
    OpenSubmenu(level, index);
    MoveHighlight(level + 1, 1);
    return;
  }
  ICanvas* ui = GetUI();
  // Closed first: the answer may open another menu or a field at once.
  Close();
  menu->SetChosenItemIdx(index);
  menu->ExecFunction();
  if (ui)
    ui->SetControlValueAfterPopupMenu(menu);
}

// ---- Geometry -------------------------------------------------------------------------------

float IPopupMenuControl::MeasureWidth(const IPopupMenu& menu) const
{
  float widest = 0.f;
  bool hasSubmenu = false;
  for (int i = 0; i < menu.NItems(); ++i)
  {
    const IPopupMenu::Item* item = menu.GetItem(i);
    if (item->GetIsSeparator())
      continue;
    IRECT r;
    float w = GetUI()->MeasureText(mStyle.text, menu.GetDisplayText(i).c_str(), r);
    if (item->GetIsTitle())
      w += mStyle.titleIndent;
    widest = std::max(widest, w);
    hasSubmenu = hasSubmenu || item->GetSubmenu() != nullptr;
  }
  return std::ceil(mStyle.checkWidth + widest + (hasSubmenu ? mStyle.arrowWidth : 8.f) + 2.f);
}

IPopupMenuControl::Panel IPopupMenuControl::MakePanel(IPopupMenu& menu, const IRECT& anchor,
                                                      bool beside) const
{
  Panel panel;
  panel.menu = &menu;
  panel.tops.push_back(0.f);
  for (int i = 0; i < menu.NItems(); ++i)
    panel.tops.push_back(panel.tops.back() + (menu.GetItem(i)->GetIsSeparator()
                                                  ? mStyle.separatorHeight
                                                  : mStyle.itemHeight));
  const IRECT editor = GetUI()->GetBounds();
  const float m = mStyle.margin;
  const float maxH = std::max(editor.H() - 2.f * m, 0.f);
  const float maxW = std::max(editor.W() - 2.f * m, 0.f);
  const float contentH = panel.tops.back() + 2.f * mStyle.padding;
  panel.scrolls = contentH > maxH;
  const float h = panel.scrolls ? maxH : contentH;
  float w = MeasureWidth(menu);
  if (!beside)
    w = std::max(w, anchor.W());
  w = std::min(w, maxW);

  float x, y;
  if (beside)
  {
    // Right of the parent panel, or left of it when the editor ends first.
    x = anchor.R - 1.f;
    if (x + w > editor.R - m)
      x = anchor.L - w + 1.f;
    y = anchor.T - mStyle.padding;
  }
  else
  {
    x = anchor.L;
    if (anchor.B + h <= editor.B - m)
      y = anchor.B;
    else if (anchor.T - h >= editor.T + m)
      y = anchor.T - h;
    else
      y = anchor.B;
  }
  x = std::clamp(x, editor.L + m, std::max(editor.L + m, editor.R - m - w));
  y = std::clamp(y, editor.T + m, std::max(editor.T + m, editor.B - m - h));
  panel.rect = IRECT(x, y, x + w, y + h);
  return panel;
}

IRECT IPopupMenuControl::ListRECT(const Panel& panel) const
{
  IRECT r = panel.rect.GetVPadded(-mStyle.padding);
  if (panel.scrolls)
    r = r.GetVPadded(-mStyle.scrollStripHeight);
  return r;
}

int IPopupMenuControl::LastFirst(const Panel& panel) const
{
  const float room = ListRECT(panel).H();
  const int n = panel.menu->NItems();
  int first = n;
  while (first > 0 && panel.tops[size_t(n)] - panel.tops[size_t(first - 1)] <= room + 0.01f)
    --first;
  return std::min(first, std::max(n - 1, 0));
}

const IPopupMenu* IPopupMenuControl::GetPanelMenu(int level) const
{
  return level >= 0 && level < NPanels() ? mPanels[size_t(level)].menu : nullptr;
}

IRECT IPopupMenuControl::GetPanelRECT(int level) const
{
  return level >= 0 && level < NPanels() ? mPanels[size_t(level)].rect : IRECT();
}

int IPopupMenuControl::GetHighlightedItem(int level) const
{
  return level >= 0 && level < NPanels() ? mPanels[size_t(level)].highlight : -1;
}

int IPopupMenuControl::GetFirstShownItem(int level) const
{
  return level >= 0 && level < NPanels() ? mPanels[size_t(level)].first : 0;
}

bool IPopupMenuControl::PanelScrolls(int level) const
{
  return level >= 0 && level < NPanels() && mPanels[size_t(level)].scrolls;
}

IRECT IPopupMenuControl::GetItemRECT(int level, int index) const
{
  if (level < 0 || level >= NPanels())
    return IRECT();
  const Panel& panel = mPanels[size_t(level)];
  if (index < panel.first || index >= panel.menu->NItems())
    return IRECT();
  const IRECT list = ListRECT(panel);
  const float top = list.T + panel.tops[size_t(index)] - panel.tops[size_t(panel.first)];
  const float bottom = list.T + panel.tops[size_t(index + 1)] - panel.tops[size_t(panel.first)];
  if (bottom > list.B + 0.01f)
    return IRECT();
  return IRECT(panel.rect.L + 1.f, top, panel.rect.R - 1.f, bottom);
}

int IPopupMenuControl::ItemAt(const Panel& panel, float x, float y) const
{
  const int level = static_cast<int>(&panel - mPanels.data());
  for (int i = panel.first; i < panel.menu->NItems(); ++i)
  {
    const IRECT r = GetItemRECT(level, i);
    if (r.Empty())
      break;
    if (r.Contains(x, y))
      return i;
  }
  return -1;
}

int IPopupMenuControl::PanelAt(float x, float y) const
{
  for (int level = NPanels() - 1; level >= 0; --level)
    if (mPanels[size_t(level)].rect.Contains(x, y))
      return level;
  return -1;
}

bool IPopupMenuControl::Selectable(const IPopupMenu& menu, int index) const
{
  const IPopupMenu::Item* item = menu.GetItem(index);
  return item && !item->GetIsSeparator() && item->GetEnabled();
}

void IPopupMenuControl::ScrollTo(Panel& panel, int index)
{
  if (!panel.scrolls || index < 0)
    return;
  if (index < panel.first)
    panel.first = index;
  const float room = ListRECT(panel).H();
  while (panel.first < index &&
         panel.tops[size_t(index + 1)] - panel.tops[size_t(panel.first)] > room + 0.01f)
    ++panel.first;
  SetDirty(false);
}

void IPopupMenuControl::Scroll(Panel& panel, int items)
{
  if (!panel.scrolls)
    return;
  panel.first = std::clamp(panel.first + items, 0, LastFirst(panel));
  SetDirty(false);
}

void IPopupMenuControl::UpdateBounds()
{
  IRECT bounds;
  for (const Panel& panel : mPanels)
    bounds = bounds.Union(panel.rect.GetPadded(0.f, 0.f, kShadowOffset, kShadowOffset));
  if (GetUI() && !mRECT.Empty())
    GetUI()->SetRegionDirty(mRECT);
  SetTargetAndDrawRECTs(bounds);
  SetDirty(false);
}

// ---- Highlight and submenus -----------------------------------------------------------------

void IPopupMenuControl::CloseFrom(int level)
{
  if (level < NPanels())
  {
    mPanels.resize(size_t(std::max(level, 0)));
    UpdateBounds();
  }
}

void IPopupMenuControl::OpenSubmenu(int level, int index)
{
  Panel& parent = mPanels[size_t(level)];
  IPopupMenu* sub = parent.menu->GetItem(index)->GetSubmenu();
  if (!sub)
    return;
  if (level + 1 < NPanels() && mPanels[size_t(level + 1)].menu == sub)
    return;
  CloseFrom(level + 1);
  const IRECT item = GetItemRECT(level, index);
  const IRECT anchor(mPanels[size_t(level)].rect.L, item.T, mPanels[size_t(level)].rect.R, item.B);
  mPanels.push_back(MakePanel(*sub, anchor, true));
  UpdateBounds();
}

void IPopupMenuControl::Highlight(int level, int index, bool openSubmenu)
{
  Panel& panel = mPanels[size_t(level)];
  if (!Selectable(*panel.menu, index))
    index = -1;
  const IPopupMenu* sub = index >= 0 ? panel.menu->GetItem(index)->GetSubmenu() : nullptr;
  // A submenu stays open while its own item is highlighted.
  if (!(sub && level + 1 < NPanels() && mPanels[size_t(level + 1)].menu == sub))
    CloseFrom(level + 1);
  if (panel.highlight != index)
  {
    panel.highlight = index;
    SetDirty(false);
  }
  if (openSubmenu && sub)
    OpenSubmenu(level, index);
}

void IPopupMenuControl::MoveHighlight(int level, int step)
{
  if (level < 0 || level >= NPanels())
    return;
  Panel& panel = mPanels[size_t(level)];
  const int n = panel.menu->NItems();
  int i = panel.highlight >= 0 ? panel.highlight : (step > 0 ? -1 : n);
  for (int tries = 0; tries < n; ++tries)
  {
    i = (i + step + n) % n;
    if (Selectable(*panel.menu, i))
    {
      Highlight(level, i, false);
      ScrollTo(mPanels[size_t(level)], i);
      return;
    }
  }
}

void IPopupMenuControl::Track(float x, float y)
{
  if (mPanels.empty())
    return;
  const int level = PanelAt(x, y);
  if (level < 0)
  {
    // Off every panel: the deepest one lets go of its highlight, open submenus stay.
    Panel& last = mPanels.back();
    if (last.highlight >= 0)
    {
      last.highlight = -1;
      SetDirty(false);
    }
    return;
  }
  Highlight(level, ItemAt(mPanels[size_t(level)], x, y), true);
}

// ---- Input ----------------------------------------------------------------------------------

void IPopupMenuControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  const int level = PanelAt(x, y);
  mPressInside = level >= 0;
  if (level < 0)
  {
    Dismiss();
    return;
  }
  Panel& panel = mPanels[size_t(level)];
  if (panel.scrolls)
  {
    const IRECT list = ListRECT(panel);
    if (y < list.T || y >= list.B)
    {
      Scroll(panel, y < list.T ? -1 : 1);
      CloseFrom(level + 1);
      return;
    }
  }
  Track(x, y);
}

void IPopupMenuControl::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  OnMouseDown(x, y, mod);
}

void IPopupMenuControl::OnMouseUp(float x, float y, const IMouseMod&)
{
  const bool pressed = mPressInside;
  mPressInside = false;
  if (mPanels.empty())
    return;
  const int level = PanelAt(x, y);
  // The release of the press that opened the menu chooses nothing unless it was dragged.
  if (!pressed && !mMovedSinceOpen)
    return;
  if (level < 0)
  {
    if (!pressed)
      Dismiss();
    return;
  }
  const int index = ItemAt(mPanels[size_t(level)], x, y);
  if (index >= 0)
    Choose(level, index);
}

void IPopupMenuControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
  if (std::hypot(x - mOpenX, y - mOpenY) > kClickSlop)
    mMovedSinceOpen = true;
  Track(x, y);
}

void IPopupMenuControl::OnMouseOver(float x, float y, const IMouseMod&)
{
  Track(x, y);
}

void IPopupMenuControl::OnMouseWheel(float x, float y, const IMouseMod&, float d)
{
  const int level = PanelAt(x, y);
  if (level < 0 || d == 0.f)
    return;
  Scroll(mPanels[size_t(level)], d > 0.f ? -1 : 1);
  CloseFrom(level + 1);
}

bool IPopupMenuControl::OnKeyDown(float, float, const IKeyPress& key)
{
  if (mPanels.empty())
    return false;
  const int level = NPanels() - 1;
  const int highlight = mPanels.back().highlight;
  const IPopupMenu* menu = mPanels.back().menu;
  switch (key.vk)
  {
    case kVK_DOWN:
      MoveHighlight(level, 1);
      break;
    case kVK_UP:
      MoveHighlight(level, -1);
      break;
    case kVK_HOME:
      mPanels.back().highlight = -1;
      MoveHighlight(level, 1);
      break;
    case kVK_END:
      mPanels.back().highlight = -1;
      MoveHighlight(level, -1);
      break;
    case kVK_RIGHT:
      if (highlight >= 0 && menu->GetItem(highlight)->GetSubmenu())
        Choose(level, highlight);
      break;
    case kVK_LEFT:
      if (level > 0)
        CloseFrom(level);
      break;
    case kVK_ESCAPE:
      if (level > 0)
        CloseFrom(level);
      else
        Dismiss();
      break;
    case kVK_RETURN:
    case kVK_SPACE:
      if (highlight >= 0)
        Choose(level, highlight);
      break;
    default:
      break;
  }
  // While a menu is open it has the keyboard.
  return true;
}

// ---- Drawing --------------------------------------------------------------------------------

void IPopupMenuControl::Draw(ICanvas& g)
{
  for (const Panel& panel : mPanels)
    DrawPanel(g, panel);
}

void IPopupMenuControl::DrawPanel(ICanvas& g, const Panel& panel) const
{
  const int level = static_cast<int>(&panel - mPanels.data());
  const IRECT& r = panel.rect;
  g.FillRect(mStyle.shadow, r.GetTranslated(kShadowOffset, kShadowOffset));
  g.FillRect(mStyle.background, r);
  g.DrawRect(mStyle.frame, r);
  const IPopupMenu& menu = *panel.menu;
  for (int i = panel.first; i < menu.NItems(); ++i)
  {
    const IRECT item = GetItemRECT(level, i);
    if (item.Empty())
      break;
    const IPopupMenu::Item& it = *menu.GetItem(i);
    if (it.GetIsSeparator())
    {
      g.DrawLine(mStyle.separator, item.L + 4.f, item.MH(), item.R - 4.f, item.MH());
      continue;
    }
    const bool lit = i == panel.highlight;
    if (lit)
      g.FillRect(mStyle.highlight, item);
    const IColor color = !it.GetEnabled() ? mStyle.disabledText
                         : lit            ? mStyle.highlightText
                                          : mStyle.text.fgColor;
    const float indent = it.GetIsTitle() ? mStyle.titleIndent : 0.f;
    const IRECT textRect(item.L + mStyle.checkWidth + indent, item.T, item.R - mStyle.arrowWidth,
                         item.B);
    g.DrawText(mStyle.text.WithFGColor(color).WithAlign(EAlign::Near),
               menu.GetDisplayText(i).c_str(), textRect);
    const float cx = item.L + 0.5f * mStyle.checkWidth, cy = item.MH();
    if (it.GetChecked())
    {
      g.DrawLine(color, cx - 4.f, cy, cx - 1.f, cy + 3.f, nullptr, 1.5f);
      g.DrawLine(color, cx - 1.f, cy + 3.f, cx + 4.f, cy - 4.f, nullptr, 1.5f);
    }
    if (it.GetSubmenu())
    {
      const float ax = item.R - 0.5f * mStyle.arrowWidth;
      g.FillTriangle(color, ax - 2.f, cy - 4.f, ax - 2.f, cy + 4.f, ax + 2.f, cy);
    }
  }
  if (panel.scrolls)
  {
    const IRECT list = ListRECT(panel);
    const float cx = r.MW();
    const IColor up = panel.first > 0 ? mStyle.text.fgColor : mStyle.disabledText;
    const IColor down = panel.first < LastFirst(panel) ? mStyle.text.fgColor : mStyle.disabledText;
    const float upY = 0.5f * (list.T + r.T + mStyle.padding);
    const float downY = 0.5f * (list.B + r.B - mStyle.padding);
    g.FillTriangle(up, cx - 4.f, upY + 2.f, cx + 4.f, upY + 2.f, cx, upY - 2.f);
    g.FillTriangle(down, cx - 4.f, downY - 2.f, cx + 4.f, downY - 2.f, cx, downY + 2.f);
  }
}

} // namespace plug::graphics
