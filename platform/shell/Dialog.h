#pragma once
// Modal dialogs in a window of their own, drawn with Dear ImGui on OpenGL:
// a fixed layout of controls placed in dialog units, as a dialog template
// places them, each known by its id. The owner sets and reads the controls
// by id, as the desktop's dialog calls do, and hears of pressed buttons and
// changed choices through its command handler; Escape and closing the
// window are the Cancel command, Enter the OK command.
//
// Texts here are UTF-8 (dialog captions come in every language).

#include "platform/Messages.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum : int { IDOK = 1, IDCANCEL = 2 };
// Notifications a command carries.
enum : int { BN_CLICKED = 0, CBN_SELCHANGE = 1 };

enum DialogControlKind {
    DIALOG_BUTTON,
    DIALOG_RADIO,      // checking one unchecks the others of its group
    DIALOG_COMBO,      // a drop-down list
    DIALOG_TEXT,       // a line of text
    DIALOG_GROUP_BOX,  // a frame with its caption at the top
};

struct DialogControl {
    int id = 0;  // 0 for texts and frames that are never addressed
    DialogControlKind kind = DIALOG_TEXT;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    std::string caption;
    bool groupStart = false;  // a radio button that starts a new group
};

struct DialogTemplate {
    std::string caption;
    int width = 0, height = 0;  // dialog units
    std::vector<DialogControl> controls;
};

class PlatformDialog {
public:
    using CommandHandler = std::function<void(PlatformDialog& dialog, int id, int notification)>;

    // The dialog's window, hidden until RunModal; null with the reason in
    // error when no window with OpenGL can be made.
    static std::unique_ptr<PlatformDialog> Create(const DialogTemplate& layout, std::string* error);
    ~PlatformDialog();
    PlatformDialog(const PlatformDialog&) = delete;
    PlatformDialog& operator=(const PlatformDialog&) = delete;

    // Shows the dialog and runs it until EndDialog; the result given there.
    int RunModal(const CommandHandler& handler);
    void EndDialog(int result);

    void CheckRadioButton(int first, int last, int checked);
    // The checked button of the ids first to last, or 0.
    int GetCheckedRadioButton(int first, int last) const;
    void SetItemText(int id, const std::string& text);
    std::string GetItemText(int id) const;
    void ShowItem(int id, bool show);
    bool IsItemVisible(int id) const;
    void EnableItem(int id, bool enable);
    bool IsItemEnabled(int id) const;

    void ComboReset(int id);
    // The new entry's index.
    int ComboAdd(int id, const std::string& text);
    int ComboGetCount(int id) const;
    // The selected entry, or -1 when none is.
    int ComboGetSelection(int id) const;
    // -1 or an index past the end selects nothing.
    void ComboSetSelection(int id, int index);
    std::string ComboGetText(int id, int index) const;

    // A control's rectangle in the window, in pixels; false for an unknown id.
    bool GetItemRect(int id, int* x, int* y, int* width, int* height) const;
    // Runs before each frame of every dialog (headless tests move the
    // pointer and press buttons through it); null removes it.
    static void SetFrameHook(std::function<void(PlatformDialog& dialog)> hook);

private:
    struct State;
    explicit PlatformDialog(std::unique_ptr<State> state);
    std::unique_ptr<State> m_State;
};
