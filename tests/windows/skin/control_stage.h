// The skin's control tests share one stage: a plain top-level host window at
// the screen's top-left corner with a page made by our CDialog from the
// directory page's template, painted in kPageColour. The page records what
// the controls tell it. Mouse input is real: SendInput, then the messages
// are pumped.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/dialog.h"
#include "graphics_canvas.h"

constexpr COLORREF kPageColour = RGB(45, 45, 45);

class TestPage : public CDialog {
 public:
  TestPage();
  ~TestPage() override;

  struct Note {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Note> notes;  // WM_SKINBTN_CLICK, WM_MOUSELEAVE, BN_CLICKED (as WM_COMMAND), WM_MOUSEMOVE (0, 0), WM_CTLCOLORBTN
  int Count(UINT msg, LPARAM lParam) const;
  int Count(UINT msg) const;

 protected:
  INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  HBRUSH m_hBrush;
};

struct Stage {
  HWND host = nullptr;
  TestPage page;
};
Stage& TheStage();
HWND Page();

// Messages for about ms milliseconds.
void Pump(int ms);
// The mouse to a point in hwnd's client coordinates; left button down/up.
void MouseTo(HWND hwnd, int x, int y);
void MouseButton(bool down);
// The page and every child repainted now, background first.
void RepaintPage();
// What the window shows, its non-client area included.
std::unique_ptr<DibCanvas> Snapshot(HWND hwnd);
// The process's GDI objects: GetGuiResources, or Wine's handle table where
// that call is a stub.
int GdiObjectCount();
