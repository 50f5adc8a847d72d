// CRichEditUI: the single-line editable field (the installation folder). A windowless control: it hosts
// the platform's rich-text engine through CTxtWinHost, feeds it the window's mouse and keyboard messages
// as a message filter of the paint manager, lets it draw into the window's off-screen bitmap, and reports
// edits as "textchanged". Empty and unfocused, it shows a tip text instead.
#pragma once

#include <string>

#include "veneer/container.h"
#include "veneer/text_host.h"

namespace Veneer {

// Context menu commands of the field.
namespace RichEditCommand {
enum : UINT { Undo = 101, Cut = 102, Copy = 103, Paste = 104, Clear = 105, SelectAll = 106, Redo = 107 };
}

class CRichEditUI : public CContainerUI, public IMessageFilterUI {
 public:
  // Timer of the caret blink, drawn by the field itself in layered windows.
  static constexpr UINT kCaretTimerId = 20;

  CRichEditUI();
  ~CRichEditUI() override;

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;
  UINT GetControlFlags() const override;

  // The engine's text (the stored text only while the engine does not exist yet).
  std::wstring GetText() const override;
  void SetText(const std::wstring& text) override;

  [[nodiscard]] DWORD GetTextColor() const { return textColor_; }
  void SetTextColor(DWORD color);
  [[nodiscard]] int GetFont() const { return font_; }
  void SetFont(int font);
  [[nodiscard]] int GetLimitText() const { return maxChar_; }
  void SetLimitText(int maxChars);
  [[nodiscard]] bool IsMultiLine() const { return (style_ & kEditMultiLine) != 0; }
  void SetMultiLine(bool multiLine);
  [[nodiscard]] bool IsWantTab() const { return wantTab_; }
  void SetWantTab(bool want = true);
  [[nodiscard]] bool IsWantReturn() const { return wantReturn_; }
  void SetWantReturn(bool want = true);
  [[nodiscard]] bool IsWantCtrlReturn() const { return wantCtrlReturn_; }
  void SetWantCtrlReturn(bool want = true);
  [[nodiscard]] bool IsTransparent() const { return transparent_; }
  void SetTransparent(bool transparent = true);
  [[nodiscard]] bool IsRich() const { return rich_; }
  void SetRich(bool rich = true);
  [[nodiscard]] bool IsReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly = true);
  [[nodiscard]] DWORD GetEditStyle() const { return style_; }
  [[nodiscard]] const std::wstring& GetTipValue() const { return tipValue_; }
  void SetTipValue(const std::wstring& tip);
  [[nodiscard]] DWORD GetTipValueColor() const { return tipColor_; }
  void SetTipValueColor(DWORD color);
  [[nodiscard]] UINT GetTipValueAlign() const { return tipAlign_; }
  void SetTipValueAlign(UINT align);
  [[nodiscard]] RECT GetTextPadding() const;
  void SetTextPadding(RECT padding);
  // A single-line field with vertical centring shows its line in the middle of the field, not at the top.
  [[nodiscard]] bool IsVCenter() const { return vcenter_; }
  void SetVCenter(bool vcenter);

  // Editing commands, each handed to the engine.
  void Undo();
  void Redo();
  void Cut();
  void Copy();
  void Paste();
  void Clear();
  void SelectAll();
  void SetSel(long start, long end);
  void ReplaceSel(const std::wstring& text, bool canUndo);
  // The context menu with its seven commands enabled as the engine's state allows (the caller owns it).
  HMENU CreateContextMenu();

  // Sends a message to the engine; false when there is no engine or it did not process the message.
  bool TxSend(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) const;
  [[nodiscard]] CTxtWinHost* GetHost() const { return host_; }

  void DoInit() override;
  void SetPos(RECT rc, bool needInvalidate = true) override;
  bool DoPaint(HDC dc, const RECT& paint, CControlUI* stopControl) override;
  void PaintStatusImage(HDC dc) override;
  void DoEvent(EventRecord& event) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // --- Called by the host ------------------------------------------------------------------------------
  HRESULT OnTxNotify(DWORD notify, void* data);
  // Repaints the place of the self-drawn caret.
  void InvalidateCaret();

 private:
  // Passes a message to the engine, turning Enter into "return" where the field does not want it.
  HRESULT SendToEngine(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void ExecuteCommand(UINT command);
  void ApplyFont();
  RECT CaretRect() const;
  // Where the text goes: the item less inset and text padding, one line high in its middle with vcenter.
  RECT TextRect() const;
  void SetEditStyle(DWORD style);

  CTxtWinHost* host_ = nullptr;
  bool wantTab_ = true;
  bool wantReturn_ = true;
  bool wantCtrlReturn_ = true;
  bool transparent_ = true;
  bool rich_ = true;
  bool readOnly_ = false;
  DWORD textColor_ = 0;
  int font_ = -1;
  int maxChar_ = 32767;
  DWORD style_ = kEditMultiLine;
  bool drawCaret_ = true;
  bool initialized_ = false;
  RECT textPadding_{};
  bool vcenter_ = false;
  std::wstring normalImage_;
  std::wstring hotImage_;
  std::wstring focusedImage_;
  std::wstring disabledImage_;
  std::wstring tipValue_;
  DWORD tipColor_ = 0xFFBAC0C5;
  UINT tipAlign_ = DT_SINGLELINE;
};

}  // namespace Veneer
