// Finding and messaging top-level windows of other processes of the same user and prefix.
//
// A process that owns windows registers each top-level window under its exact title together
// with its child controls. Every process of the user can then find it, enumerate its
// children, read their captions and send them the few messages below. Each owning process
// serves one Unix socket in the runtime folder of its prefix (platform/sync.h); a handle names the process and the window, so
// a registration disappears with its owner, also when the owner dies.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::winmsg {

using Hwnd = uint64_t;  // (owner pid << 32) | window id; 0 means none

inline constexpr uint32_t WM_SETTEXT = 0x000C;
inline constexpr uint32_t BM_SETCHECK = 0x00F1;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;

enum class ControlKind : uint8_t { TopLevel = 0, Edit = 1, Button = 2, CheckBox = 3, Static = 4 };

struct WindowInfo {
    ControlKind kind = ControlKind::Static;
    std::string text;  // title, caption or edit text (Shift-JIS)
    int check = 0;     // check state of a check box
};

// ---- Any process -------------------------------------------------------------------------

// The first top-level window with exactly this title (byte-wise, case-sensitive); 0 if none.
Hwnd FindWindow(std::string_view title);
// All child windows below `window`, depth first, in creation order.
std::vector<Hwnd> EnumChildWindows(Hwnd window);
// The first child (in EnumChildWindows order) whose caption is exactly `caption`; 0 if none.
Hwnd FindChildByCaption(Hwnd parent, std::string_view caption);
bool GetWindowInfo(Hwnd window, WindowInfo& info);
bool IsWindow(Hwnd window);
// Runs the message on the owner's thread and returns after it was handled: the handler's
// result, or 0 when the window is gone or the message is not one the window handles.
// `text` is the text parameter of WM_SETTEXT.
int64_t SendMessage(Hwnd window, uint32_t message, uint64_t wparam, std::string_view text = {});
// Asks the owner to bring the top-level window to the front; false when it is gone.
bool BringToFront(Hwnd window);

// ---- The owning process ------------------------------------------------------------------

// A registered top-level window and its child controls, without widgets. A GUI binds real
// widgets to it through the callbacks; a headless owner uses it as it is.
// How a control starts: its check state and what a completed click does.
struct ControlSetup {
    int check = 0;
    std::function<void()> onClick;
};

class Window {
public:
    // Registers a top-level window. Null (and *error) when the socket cannot be served.
    static std::unique_ptr<Window> Register(std::string_view title, std::string* error = nullptr);
    ~Window();  // unregisters the window and its children
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    Hwnd Handle() const;
    // Adds a child control below `parent` (0: the window itself). Children are enumerated in
    // the order they were added.
    Hwnd AddChild(ControlKind kind, std::string_view text, Hwnd parent = 0);
    // The same with its check state and click handler set from the start: other programs may
    // find the window while controls are being added, and one added bare and set afterwards
    // can be seen, ticked or clicked in between.
    Hwnd AddChild(ControlKind kind, std::string_view text, ControlSetup setup, Hwnd parent = 0);

    std::string Text(Hwnd control) const;
    int Check(Hwnd control) const;
    void SetText(Hwnd control, std::string_view text);
    void SetCheck(Hwnd control, int state);

    // A button press completed by WM_LBUTTONDOWN then WM_LBUTTONUP.
    void OnClick(Hwnd control, std::function<void()> handler);
    // Any change made by a message (text or check state).
    void OnChange(std::function<void(Hwnd control)> handler);
    void OnBringToFront(std::function<void()> handler);

    struct Impl;

private:
    explicit Window(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<Impl> impl_;
};

// Where messages for this process's windows run. By default one thread of the process's own
// acts as the owner's thread; a GUI passes a function that posts the task to its event loop
// (the task must run exactly once).
void SetDispatcher(std::function<void(std::function<void()>)> dispatcher);

// Folder of the sockets: <runtime folder>/winmsg.
std::string SocketFolder();

}  // namespace platform::winmsg
