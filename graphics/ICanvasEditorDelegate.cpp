#include "graphics/ICanvasEditorDelegate.h"

#include "graphics/IControl.h"

namespace plug::graphics
{

ICanvasEditorDelegate::ICanvasEditorDelegate(IAPIBase& plugin)
  : mPlugin(plugin)
{
}

ICanvasEditorDelegate::~ICanvasEditorDelegate()
{
  CloseEditor();
}

ICanvas* ICanvasEditorDelegate::OpenEditor()
{
  if (!mMakeCanvas)
    return nullptr;
  CloseEditor();
  return OpenEditor(mMakeCanvas(*this));
}

ICanvas* ICanvasEditorDelegate::OpenEditor(std::unique_ptr<ICanvas> canvas)
{
  if (!canvas)
    return nullptr;
  CloseEditor();
  mCanvas = std::move(canvas);
  LayoutUI(mCanvas.get());
  // The plug-in now pushes every parameter's value into the new controls.
  mPlugin.EditorOpened(*this);
  return mCanvas.get();
}

void ICanvasEditorDelegate::CloseEditor()
{
  if (!mCanvas)
    return;
  mPlugin.EditorClosed();
  mCanvas.reset();
}

void ICanvasEditorDelegate::LayoutUI(ICanvas* canvas)
{
  if (mLayout && canvas)
    mLayout(canvas);
}

bool ICanvasEditorDelegate::ConstrainEditorResize(int& width, int& height) const
{
  return mConstrain ? mConstrain(width, height) : true;
}

void ICanvasEditorDelegate::BeginInformHostOfParamChangeFromUI(int paramIdx)
{
  mPlugin.BeginInformHostOfParamChangeFromUI(paramIdx);
}

void ICanvasEditorDelegate::SendParameterValueFromUI(int paramIdx, double normalized)
{
  mPlugin.SendParameterValueFromUI(paramIdx, normalized);
}

void ICanvasEditorDelegate::EndInformHostOfParamChangeFromUI(int paramIdx)
{
  mPlugin.EndInformHostOfParamChangeFromUI(paramIdx);
}

bool ICanvasEditorDelegate::EditorResizeFromUI(int width, int height, bool needsPlatformResize)
{
  mPlugin.SetEditorSize(width, height);
  return mPlugin.EditorResizeFromUI(width, height, needsPlatformResize);
}

void ICanvasEditorDelegate::SetParameterFromDelegate(int paramIdx, double normalized)
{
  if (!mCanvas)
    return;
  mCanvas->ForControlWithParam(paramIdx,
                               [&](IControl& control)
                               {
                                 for (int i = 0; i < control.NVals(); ++i)
                                   if (control.GetParamIdx(i) == paramIdx)
                                     control.SetValueFromDelegate(normalized, i);
                               });
}

void ICanvasEditorDelegate::SendMidiMsgFromDelegate(const IMidiMsg& msg)
{
  if (mCanvas)
    mCanvas->ForAllControls([&](IControl& control) { control.OnMidi(msg); });
}

} // namespace plug::graphics
