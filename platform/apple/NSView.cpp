#include "platform/apple/AppKit.h"

#include <algorithm>

NSView::NSView(NSRect frame)
  : mFrame(frame)
{
}

NSView::~NSView()
{
  // A subview may still ask for its superview while it goes.
  while (!mSubviews.empty())
    mSubviews.pop_back();
}

unsigned long NSView::enclosingNativeWindow() const
{
  for (const NSView* v = this; v; v = v->mSuperview)
    if (v->mNativeWindow)
      return v->mNativeWindow;
  return 0;
}

NSView* NSView::addSubview(std::unique_ptr<NSView> view)
{
  // A view held by a unique pointer has no superview: the superview would own it.
  if (!view || view.get() == this)
    return nullptr;
  NSView* raw = view.get();
  raw->viewWillMoveToSuperview(this);
  mSubviews.push_back(std::move(view));
  raw->mSuperview = this;
  raw->viewDidMoveToSuperview();
  return raw;
}

std::unique_ptr<NSView> NSView::removeFromSuperview()
{
  NSView* parent = mSuperview;
  if (!parent)
    return nullptr;
  viewWillMoveToSuperview(nullptr);
  auto& list = parent->mSubviews;
  const auto it =
      std::find_if(list.begin(), list.end(), [this](const auto& v) { return v.get() == this; });
  std::unique_ptr<NSView> self = std::move(*it);
  list.erase(it);
  mSuperview = nullptr;
  viewDidMoveToSuperview();
  return self;
}
