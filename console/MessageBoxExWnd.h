// A twin of the dialog base with a position, a size and one picture: the main frame shows the
// account-opening QR code in it. Title, text and mode are kept but not shown. The object owns its
// paint manager and destroys a window that is still open before the manager goes.
#pragma once
#include <windows.h>
#include <string>
#include "UIBase.h"
#include "UIManager.h"
#include "UIWindow.h"

class CMessageBoxExWnd : public Veneer::CWindowWnd, public Veneer::INotifyUI {
public:
    CMessageBoxExWnd(const wchar_t* title, const wchar_t* text, int mode, const wchar_t* skin, const wchar_t* zip,
                     int x, int y, int width, int height);
    virtual ~CMessageBoxExWnd();

    const wchar_t* GetWindowClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    void Notify(Veneer::TNotifyRecord& msg) override;

    // The picture shown as the background of "headimg"; set before Create.
    void SetImagePath(const wchar_t* path);
    void InitWindow();

    Veneer::CPaintManagerUI& GetPaintManager() { return m_pm; }

private:
    LRESULT OnCreate();

    Veneer::CPaintManagerUI m_pm;
    Veneer::CUIString m_title;
    Veneer::CUIString m_text;
    int m_mode;
    Veneer::CUIString m_skin;
    Veneer::CUIString m_zip;
    std::wstring m_imagePath;
    int m_x, m_y, m_width, m_height;
};
