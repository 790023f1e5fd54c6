#include "platform/winmsg.h"

#include "platform/sync.h"

#include <dirent.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace platform::winmsg {

namespace {

// Requests and replies are one frame each: u32 length, then the body. A connection carries
// one request.
enum Op : uint8_t { kFind = 1, kEnum = 2, kInfo = 3, kSend = 4, kFront = 5 };

// How long a client waits for an owner that accepted the request, ms. Long enough for a
// handler that shows nothing; short enough that a hung owner cannot hang the caller forever.
constexpr int kReplyTimeoutMs = 30000;
// Upper bound of a frame: titles and texts are short; anything larger is a broken peer.
constexpr uint32_t kMaxFrame = 1u << 20;

struct Writer {
    std::string bytes;
    void U8(uint8_t v) { bytes.push_back(static_cast<char>(v)); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
    }
    void U64(uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(v >> (8 * i)));
    }
    void Text(std::string_view s) {
        U32(static_cast<uint32_t>(s.size()));
        bytes.append(s);
    }
};

struct Reader {
    std::string_view bytes;
    bool ok = true;
    uint64_t Take(int n) {
        if (bytes.size() < static_cast<std::size_t>(n)) {
            ok = false;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        bytes.remove_prefix(static_cast<std::size_t>(n));
        return v;
    }
    uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
    uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
    uint64_t U64() { return Take(8); }
    std::string Text() {
        uint32_t n = U32();
        if (!ok || bytes.size() < n) {
            ok = false;
            return {};
        }
        std::string s(bytes.substr(0, n));
        bytes.remove_prefix(n);
        return s;
    }
};

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, char* out, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::recv(fd, out + done, size - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SendFrame(int fd, const std::string& body) {
    Writer w;
    w.U32(static_cast<uint32_t>(body.size()));
    return WriteAll(fd, w.bytes + body);
}

bool ReceiveFrame(int fd, std::string& body) {
    char len[4];
    if (!ReadAll(fd, len, 4)) return false;
    Reader r{std::string_view(len, 4)};
    uint32_t n = r.U32();
    if (n > kMaxFrame) return false;
    body.assign(n, '\0');
    return n == 0 || ReadAll(fd, body.data(), n);
}

uint32_t OwnerPid(Hwnd h) { return static_cast<uint32_t>(h >> 32); }
uint32_t LocalId(Hwnd h) { return static_cast<uint32_t>(h & 0xFFFFFFFFu); }
Hwnd MakeHandle(uint32_t pid, uint32_t id) { return id == 0 ? 0 : (static_cast<Hwnd>(pid) << 32) | id; }

std::string SocketPath(uint32_t pid) { return SocketFolder() + "/" + std::to_string(pid) + ".sock"; }

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// One request to the owner `pid`; false when it is gone (its stale socket is removed).
bool Request(uint32_t pid, const std::string& body, std::string& reply) {
    const std::string path = SocketPath(pid);
    sockaddr_un addr;
    if (!FillAddress(path, addr)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    timeval tv{kReplyTimeoutMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        // Nobody listens. Either the owner died without cleaning up, and its socket is swept,
        // or it is just starting: its socket is bound but not listening yet, and must stay.
        if (errno == ECONNREFUSED && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlink(path.c_str());
        ::close(fd);
        return false;
    }
    bool ok = SendFrame(fd, body) && ReceiveFrame(fd, reply);
    ::close(fd);
    return ok;
}

std::vector<uint32_t> OwnerPids() {
    std::vector<uint32_t> pids;
    DIR* dir = ::opendir(SocketFolder().c_str());
    if (!dir) return pids;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".sock") == 0) {
            std::string digits = name.substr(0, name.size() - 5);
            if (!digits.empty() && std::all_of(digits.begin(), digits.end(), ::isdigit)) {
                pids.push_back(static_cast<uint32_t>(std::stoul(digits)));
            }
        }
    }
    ::closedir(dir);
    std::sort(pids.begin(), pids.end());
    return pids;
}

// ---- The owner side ----------------------------------------------------------------------

struct Control {
    uint32_t id = 0;
    uint32_t parent = 0;  // 0 for a top-level window
    uint32_t top = 0;     // the top-level window it belongs to
    ControlKind kind = ControlKind::Static;
    std::string text;
    int check = 0;
    bool pressed = false;
    std::vector<uint32_t> children;
    std::function<void()> onClick;
};

struct TopLevel {
    std::function<void(Hwnd)> onChange;
    std::function<void()> onFront;
};

// Runs tasks one after another on a thread of its own: the owner's thread of headless windows.
class DefaultDispatcher {
public:
    DefaultDispatcher() : thread_([this] { Run(); }) {}
    ~DefaultDispatcher() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_one();
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stop_ = false;
    std::thread thread_;
};

// The process's window server: its controls, its socket and the threads that serve it.
class Host {
public:
    static Host& Instance(std::string* error);

    uint32_t Pid() const { return pid_; }
    bool Serving() const { return listenFd_ >= 0; }

    uint32_t Add(uint32_t parent, ControlKind kind, std::string_view text, ControlSetup setup = {}) {
        std::lock_guard lock(mutex_);
        uint32_t id = ++lastId_;
        Control c;
        c.id = id;
        c.parent = parent;
        c.kind = kind;
        c.text = text;
        c.check = setup.check;
        c.onClick = std::move(setup.onClick);
        if (parent == 0) {
            c.top = id;
            tops_[id];
            topOrder_.push_back(id);
        } else {
            auto p = controls_.find(parent);
            if (p == controls_.end()) return 0;
            c.top = p->second.top;
            p->second.children.push_back(id);
        }
        controls_[id] = std::move(c);
        return id;
    }

    void RemoveTop(uint32_t top) {
        std::lock_guard lock(mutex_);
        for (auto it = controls_.begin(); it != controls_.end();) {
            it = it->second.top == top ? controls_.erase(it) : std::next(it);
        }
        tops_.erase(top);
        topOrder_.erase(std::remove(topOrder_.begin(), topOrder_.end(), top), topOrder_.end());
    }

    template <typename F>
    auto With(uint32_t id, F f) -> decltype(f(std::declval<Control&>())) {
        std::lock_guard lock(mutex_);
        auto it = controls_.find(id);
        if (it == controls_.end()) return decltype(f(std::declval<Control&>()))();
        return f(it->second);
    }

    void SetTopHandlers(uint32_t top, std::function<void(Hwnd)>* onChange, std::function<void()>* onFront) {
        std::lock_guard lock(mutex_);
        auto it = tops_.find(top);
        if (it == tops_.end()) return;
        if (onChange) it->second.onChange = std::move(*onChange);
        if (onFront) it->second.onFront = std::move(*onFront);
    }

    void SetDispatcher(std::function<void(std::function<void()>)> d) {
        std::lock_guard lock(mutex_);
        dispatcher_ = std::move(d);
    }

private:
    Host();
    void Accept();
    void Serve(int fd);
    std::string Handle(const std::string& request);
    int64_t RunOnOwner(std::function<int64_t()> task);
    int64_t Deliver(uint32_t id, uint32_t message, uint64_t wparam, const std::string& text);

    const uint32_t pid_ = static_cast<uint32_t>(::getpid());
    const std::string path_ = SocketPath(pid_);
    int listenFd_ = -1;
    std::string error_;
    mutable std::mutex mutex_;
    uint32_t lastId_ = 0;
    std::map<uint32_t, Control> controls_;
    std::map<uint32_t, TopLevel> tops_;
    std::vector<uint32_t> topOrder_;
    std::function<void(std::function<void()>)> dispatcher_;
    DefaultDispatcher defaultDispatcher_;
};

Host& Host::Instance(std::string* error) {
    // Never destroyed: serving threads may still run while the process exits. A child made
    // by fork gets a fresh host of its own, since it inherits none of the threads.
    static std::mutex guard;
    static Host* host = nullptr;
    std::lock_guard lock(guard);
    // A new one also when the runtime folder changed or its socket file was removed.
    struct stat st {};
    if (!host || host->pid_ != static_cast<uint32_t>(::getpid()) || host->path_ != SocketPath(host->pid_) ||
        ::stat(host->path_.c_str(), &st) != 0) {
        host = new Host();
    }
    if (error && !host->Serving()) *error = host->error_;
    return *host;
}

Host::Host() {
    std::string folder = SocketFolder();
    platform::sync::EnsureRuntimeFolder();
    ::mkdir(folder.c_str(), 0700);
    const std::string& path = path_;
    sockaddr_un addr;
    if (!FillAddress(path, addr)) {
        error_ = "socket path too long: " + path;
        return;
    }
    ::unlink(path.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        error_ = "listen on " + path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return;
    }
    listenFd_ = fd;
    std::thread([this] { Accept(); }).detach();
}

void Host::Accept() {
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        // A thread per request, so that a handler that itself messages a window of this
        // process cannot wait on the thread that serves it.
        std::thread([this, fd] { Serve(fd); }).detach();
    }
}

void Host::Serve(int fd) {
    std::string request;
    if (ReceiveFrame(fd, request)) SendFrame(fd, Handle(request));
    ::close(fd);
}

int64_t Host::RunOnOwner(std::function<int64_t()> task) {
    std::function<void(std::function<void()>)> dispatcher;
    {
        std::lock_guard lock(mutex_);
        dispatcher = dispatcher_;
    }
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    int64_t result = 0;
    auto run = [&] {
        int64_t r = task();
        std::lock_guard lock(m);
        result = r;
        finished = true;
        done.notify_one();
    };
    if (dispatcher) {
        dispatcher(run);
    } else {
        defaultDispatcher_.Post(run);
    }
    std::unique_lock lock(m);
    done.wait(lock, [&] { return finished; });
    return result;
}

int64_t Host::Deliver(uint32_t id, uint32_t message, uint64_t wparam, const std::string& text) {
    std::function<void()> click;
    std::function<void(Hwnd)> onChange;
    bool changed = false;
    int64_t result = 0;
    {
        std::lock_guard lock(mutex_);
        auto it = controls_.find(id);
        if (it == controls_.end()) return 0;
        Control& c = it->second;
        switch (message) {
        case WM_SETTEXT:
            c.text = text;
            changed = true;
            result = 1;
            break;
        case BM_SETCHECK:
            if (c.kind == ControlKind::CheckBox) {
                c.check = static_cast<int>(wparam);
                changed = true;
            }
            break;
        case WM_LBUTTONDOWN:
            c.pressed = true;
            break;
        case WM_LBUTTONUP:
            if (c.pressed) click = c.onClick;
            c.pressed = false;
            break;
        default:
            return 0;
        }
        if (changed) onChange = tops_[c.top].onChange;
    }
    // Handlers run without the lock: they may read or change controls.
    if (onChange) onChange(MakeHandle(pid_, id));
    if (click) click();
    return result;
}

std::string Host::Handle(const std::string& request) {
    Reader r{request};
    Writer w;
    uint8_t op = r.U8();
    switch (op) {
    case kFind: {
        std::string title = r.Text();
        uint32_t found = 0;
        std::lock_guard lock(mutex_);
        for (uint32_t top : topOrder_) {
            if (controls_[top].text == title) {
                found = top;
                break;
            }
        }
        w.U32(found);
        break;
    }
    case kEnum: {
        uint32_t id = r.U32();
        std::vector<uint32_t> out;
        std::lock_guard lock(mutex_);
        // Depth first, in creation order.
        std::vector<uint32_t> stack;
        if (auto it = controls_.find(id); it != controls_.end()) {
            stack.assign(it->second.children.rbegin(), it->second.children.rend());
        }
        while (!stack.empty()) {
            uint32_t c = stack.back();
            stack.pop_back();
            out.push_back(c);
            auto& kids = controls_[c].children;
            stack.insert(stack.end(), kids.rbegin(), kids.rend());
        }
        w.U32(static_cast<uint32_t>(out.size()));
        for (uint32_t c : out) w.U32(c);
        break;
    }
    case kInfo: {
        uint32_t id = r.U32();
        std::lock_guard lock(mutex_);
        auto it = controls_.find(id);
        w.U8(it != controls_.end());
        if (it != controls_.end()) {
            w.U8(static_cast<uint8_t>(it->second.kind));
            w.U32(static_cast<uint32_t>(it->second.check));
            w.Text(it->second.text);
        }
        break;
    }
    case kSend: {
        uint32_t id = r.U32();
        uint32_t message = r.U32();
        uint64_t wparam = r.U64();
        std::string text = r.Text();
        if (!r.ok) break;
        int64_t result = RunOnOwner([=, this] { return Deliver(id, message, wparam, text); });
        w.U64(static_cast<uint64_t>(result));
        break;
    }
    case kFront: {
        uint32_t id = r.U32();
        std::function<void()> front;
        {
            std::lock_guard lock(mutex_);
            if (auto it = tops_.find(id); it != tops_.end()) front = it->second.onFront;
            w.U8(tops_.count(id) != 0);
        }
        if (front) RunOnOwner([&] {
                front();
                return int64_t{0};
            });
        break;
    }
    default:
        break;
    }
    return w.bytes;
}

}  // namespace

struct Window::Impl {
    Host* host = nullptr;
    uint32_t id = 0;
};

// ---- Client functions --------------------------------------------------------------------

std::string SocketFolder() { return platform::sync::RuntimeFolder() + "/winmsg"; }

Hwnd FindWindow(std::string_view title) {
    Writer w;
    w.U8(kFind);
    w.Text(title);
    for (uint32_t pid : OwnerPids()) {
        std::string reply;
        if (!Request(pid, w.bytes, reply)) continue;
        Reader r{reply};
        uint32_t id = r.U32();
        if (r.ok && id != 0) return MakeHandle(pid, id);
    }
    return 0;
}

std::vector<Hwnd> EnumChildWindows(Hwnd window) {
    std::vector<Hwnd> out;
    if (window == 0) return out;
    Writer w;
    w.U8(kEnum);
    w.U32(LocalId(window));
    std::string reply;
    if (!Request(OwnerPid(window), w.bytes, reply)) return out;
    Reader r{reply};
    uint32_t n = r.U32();
    for (uint32_t i = 0; i < n && r.ok; ++i) {
        uint32_t id = r.U32();
        if (r.ok) out.push_back(MakeHandle(OwnerPid(window), id));
    }
    return out;
}

bool GetWindowInfo(Hwnd window, WindowInfo& info) {
    if (window == 0) return false;
    Writer w;
    w.U8(kInfo);
    w.U32(LocalId(window));
    std::string reply;
    if (!Request(OwnerPid(window), w.bytes, reply)) return false;
    Reader r{reply};
    if (!r.U8()) return false;
    info.kind = static_cast<ControlKind>(r.U8());
    info.check = static_cast<int>(r.U32());
    info.text = r.Text();
    return r.ok;
}

bool IsWindow(Hwnd window) {
    WindowInfo info;
    return GetWindowInfo(window, info);
}

Hwnd FindChildByCaption(Hwnd parent, std::string_view caption) {
    for (Hwnd child : EnumChildWindows(parent)) {
        WindowInfo info;
        if (GetWindowInfo(child, info) && info.text == caption) return child;
    }
    return 0;
}

int64_t SendMessage(Hwnd window, uint32_t message, uint64_t wparam, std::string_view text) {
    if (window == 0) return 0;
    Writer w;
    w.U8(kSend);
    w.U32(LocalId(window));
    w.U32(message);
    w.U64(wparam);
    w.Text(text);
    std::string reply;
    if (!Request(OwnerPid(window), w.bytes, reply)) return 0;
    Reader r{reply};
    int64_t result = static_cast<int64_t>(r.U64());
    return r.ok ? result : 0;
}

bool BringToFront(Hwnd window) {
    if (window == 0) return false;
    Writer w;
    w.U8(kFront);
    w.U32(LocalId(window));
    std::string reply;
    if (!Request(OwnerPid(window), w.bytes, reply)) return false;
    Reader r{reply};
    return r.U8() != 0 && r.ok;
}

void SetDispatcher(std::function<void(std::function<void()>)> dispatcher) {
    Host::Instance(nullptr).SetDispatcher(std::move(dispatcher));
}

// ---- Window ------------------------------------------------------------------------------

std::unique_ptr<Window> Window::Register(std::string_view title, std::string* error) {
    Host& host = Host::Instance(error);
    if (!host.Serving()) return nullptr;
    auto impl = std::make_shared<Impl>();
    impl->host = &host;
    impl->id = host.Add(0, ControlKind::TopLevel, title);
    return std::unique_ptr<Window>(new Window(std::move(impl)));
}

Window::~Window() { impl_->host->RemoveTop(impl_->id); }

Hwnd Window::Handle() const { return MakeHandle(impl_->host->Pid(), impl_->id); }

Hwnd Window::AddChild(ControlKind kind, std::string_view text, Hwnd parent) {
    return AddChild(kind, text, ControlSetup{}, parent);
}

Hwnd Window::AddChild(ControlKind kind, std::string_view text, ControlSetup setup, Hwnd parent) {
    uint32_t p = parent == 0 ? impl_->id : LocalId(parent);
    return MakeHandle(impl_->host->Pid(), impl_->host->Add(p, kind, text, std::move(setup)));
}

std::string Window::Text(Hwnd control) const {
    return impl_->host->With(LocalId(control), [](Control& c) { return c.text; });
}

int Window::Check(Hwnd control) const {
    return impl_->host->With(LocalId(control), [](Control& c) { return c.check; });
}

void Window::SetText(Hwnd control, std::string_view text) {
    impl_->host->With(LocalId(control), [&](Control& c) { c.text = text; });
}

void Window::SetCheck(Hwnd control, int state) {
    impl_->host->With(LocalId(control), [&](Control& c) { c.check = state; });
}

void Window::OnClick(Hwnd control, std::function<void()> handler) {
    impl_->host->With(LocalId(control), [&](Control& c) { c.onClick = std::move(handler); });
}

void Window::OnChange(std::function<void(Hwnd)> handler) {
    impl_->host->SetTopHandlers(impl_->id, &handler, nullptr);
}

void Window::OnBringToFront(std::function<void()> handler) {
    impl_->host->SetTopHandlers(impl_->id, nullptr, &handler);
}

}  // namespace platform::winmsg
