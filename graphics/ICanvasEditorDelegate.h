#pragma once

#include "framework/IAPIBase.h"
#include "graphics/ICanvas.h"

#include <functional>
#include <memory>

namespace plug::graphics
{

/**
 * Joins a graphics context to the plug-in: parameter values that the plug-in pushes reach
 * the controls bound to them, and the user's edits reach the plug-in and the host inside
 * begin/end gestures. It owns the context while the editor is open. Main thread only.
 */
class ICanvasEditorDelegate : public IEditorControls
{
public:
  using MakeCanvasFunc = std::function<std::unique_ptr<ICanvas>(ICanvasEditorDelegate&)>;
  using LayoutFunc = std::function<void(ICanvas*)>;
  using ConstrainFunc = std::function<bool(int& width, int& height)>;

  explicit ICanvasEditorDelegate(IAPIBase& plugin);
  ~ICanvasEditorDelegate() override;
  ICanvasEditorDelegate(const ICanvasEditorDelegate&) = delete;
  ICanvasEditorDelegate& operator=(const ICanvasEditorDelegate&) = delete;

  IAPIBase& GetPlugin() { return mPlugin; }
  int NParams() const { return mPlugin.NParams(); }
  IParam* GetParam(int paramIdx) { return mPlugin.GetParam(paramIdx); }
  const IParam* GetParam(int paramIdx) const { return mPlugin.GetParam(paramIdx); }

  // ---- Opening and closing -------------------------------------------------------------

  /** How a context is made when the editor opens (the platform's own kind). */
  void SetMakeCanvasFunc(MakeCanvasFunc func) { mMakeCanvas = std::move(func); }
  /** What attaches the controls; run when the editor opens and on layout-on-resize. */
  void SetLayoutFunc(LayoutFunc func) { mLayout = std::move(func); }
  /** The plug-in's correction of a requested editor size; true when it changed nothing. */
  void SetConstrainFunc(ConstrainFunc func) { mConstrain = std::move(func); }

  /** Makes the context (through the make function), lays it out, and tells the plug-in the
   *  editor is open, which pushes every value to the controls. Null without a make function
   *  or when it returns none. An open editor is closed first. */
  ICanvas* OpenEditor();
  /** The same with a context made by the caller for this delegate. */
  ICanvas* OpenEditor(std::unique_ptr<ICanvas> canvas);
  /** Tells the plug-in, then destroys the context and its controls. */
  void CloseEditor();
  ICanvas* GetUI() const { return mCanvas.get(); }

  /** Attaches the editor's controls; the layout function by default. */
  virtual void LayoutUI(ICanvas* canvas);
  /** Corrects a requested size in place; true when the request needed no change. */
  virtual bool ConstrainEditorResize(int& width, int& height) const;

  // ---- Editor -> plug-in and host ------------------------------------------------------

  void BeginInformHostOfParamChangeFromUI(int paramIdx);
  void SendParameterValueFromUI(int paramIdx, double normalized);
  void EndInformHostOfParamChangeFromUI(int paramIdx);
  /** The editor is now width × height backing pixels: the plug-in stores the size and, when
   *  `needsPlatformResize`, asks the host for a new view size. */
  bool EditorResizeFromUI(int width, int height, bool needsPlatformResize);

  // ---- Plug-in -> controls (IEditorControls) --------------------------------------------

  /** Every value bound to `paramIdx` takes `normalized` (ignored by captured controls). */
  void SetParameterFromDelegate(int paramIdx, double normalized) override;
  void SendMidiMsgFromDelegate(const IMidiMsg& msg) override;

private:
  IAPIBase& mPlugin;
  std::unique_ptr<ICanvas> mCanvas;
  MakeCanvasFunc mMakeCanvas;
  LayoutFunc mLayout;
  ConstrainFunc mConstrain;
};

} // namespace plug::graphics
