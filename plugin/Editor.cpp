// The plug-in's side of its editor: opening and closing it, the accent, the time controls,
// the values it is shown, and the messages it shows.
#include "plugin/OstraTapeDelay.h"

#include "graphics/ICanvas.h"
#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/IControl.h"
#include "plugin/Accents.h"
#include "plugin/EditorStyle.h"
#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"

#include <algorithm>

using namespace ostratapedelay::plugin;
using namespace plug::graphics;

ICanvas* OstraTapeDelay::ui() const
{
  return mEditor ? mEditor->GetUI() : nullptr;
}

std::unique_ptr<ICanvas> OstraTapeDelay::makeGraphics(ICanvasEditorDelegate& delegate)
{
  if (!mCanvasFactory)
    return nullptr;
  const float known = mPlatformScale.load();
  const float p = known > 0.f ? known : 1.f;
  float scale = std::min(float(GetEditorWidth()) / (float(editor::kWidth) * p),
                         float(GetEditorHeight()) / (float(editor::kHeight) * p));
  if (!(scale > 0.f))
    scale = 1.f;
  return mCanvasFactory(delegate, editor::kWidth, editor::kHeight, kEditorFPS, scale);
}

ICanvas* OstraTapeDelay::openEditor()
{
  return mEditor->OpenEditor();
}

void OstraTapeDelay::closeEditor()
{
  mEditor->CloseEditor();
}

IColor OstraTapeDelay::resolvedAccent(int alpha) const
{
  const unsigned index = mAccent.load();
  int r = 0, g = 0, b = 0;
  if (index == kHostAccent && trackColour(r, g, b))
    return IColor(alpha, r, g, b).Clamped();
  const Accent& accent = kAccents[index < kAccents.size() ? index : 0];
  return IColor(alpha, accent.red, accent.green, accent.blue).Clamped();
}

bool OstraTapeDelay::trackColour(int&, int&, int&) const
{
  return false;
}

void OstraTapeDelay::trackLabel(std::string& label) const
{
  label.clear();
}

void OstraTapeDelay::pushValuesToEditor()
{
  for (int i = 0; i < NParams(); ++i)
  {
    const plug::IParam* p = GetParam(i);
    SendParameterValueFromDelegate(i, std::clamp(p->ToNormalized(p->Value()), 0.0, 1.0), true);
  }
}

void OstraTapeDelay::OnUIOpen()
{
  setMeterEnabled(true);
  pushValuesToEditor();
}

void OstraTapeDelay::OnUIClose()
{
  setMeterEnabled(false);
  mTimeControls.fill(nullptr);
}

void OstraTapeDelay::showTimeControls()
{
  const bool sync = param(kSync) >= 0.5;
  const bool link = param(kLink) >= 0.5;
  const int state = int(sync) + 2 * int(link);
  ICanvas* g = ui();
  if (state == mLastSyncLink || !g || !mTimeControls[0])
    return;
  mLastSyncLink = state;

  // Per side: time knob, time value, note knob, note value.
  for (int i = 0; i < 8; ++i)
  {
    IControl* c = mTimeControls[size_t(i)];
    const bool isTime = (i % 4) < 2;
    c->Hide(isTime ? sync : !sync);
    if (i < 4)
      continue;
    // The linked right side follows the left parameters and only shows them.
    const int bound = isTime ? (link ? kTimeL : kTimeR) : (link ? kNoteL : kNoteR);
    c->SetParamIdx(bound);
    c->SetValueFromDelegate(std::clamp(GetParam(bound)->GetNormalized(), 0.0, 1.0));
    c->SetBlend(IBlend(EBlend::Default, link ? 0.45f : 1.f));
    c->SetIgnoreMouse(link);
  }
  g->SetAllControlsDirty();
}

void OstraTapeDelay::tell(const std::string& message, const std::string& title)
{
  // Without an editor the user is not interrupted.
  if (ICanvas* g = ui())
    g->ShowMessageBox(message.c_str(), title.c_str(), kMB_OK);
}

bool OstraTapeDelay::ask(const std::string& message, const std::string& title)
{
  ICanvas* g = ui();
  return g && g->ShowMessageBox(message.c_str(), title.c_str(), kMB_YESNO) == kYES;
}
