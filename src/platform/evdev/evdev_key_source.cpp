#include "platform/evdev/evdev_key_source.h"

#include <dirent.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "activity/key_names.h"

namespace pressory::platform::evdev {
namespace {

bool isEventNode(std::string_view name) { return name.size() > 5 && name.substr(0, 5) == "event"; }

}  // namespace

EvdevKeySource::EvdevKeySource(std::string dir, Opener opener) : dir_(std::move(dir)), opener_(std::move(opener)) {
    wakeFd_ = epoll_create1(EPOLL_CLOEXEC);
    canWake_ = wakeFd_ >= 0;
    if (dir_.empty()) return;
    // Watch first, so that a device appearing during the scan is not missed;
    // a device seen twice is opened once.
    watchFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watchFd_ >= 0 && inotify_add_watch(watchFd_, dir_.c_str(), IN_CREATE | IN_ATTRIB | IN_DELETE) < 0) {
        ::close(watchFd_);
        watchFd_ = -1;
    }
    if (watchFd_ >= 0 && !wakeOn(watchFd_)) canWake_ = false;
    scanDirectory();
}

EvdevKeySource::~EvdevKeySource() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (watchFd_ >= 0) ::close(watchFd_);
}

bool EvdevKeySource::wakeOn(int fd) {
    if (wakeFd_ < 0 || fd < 0) return false;
    // Level-triggered: readable for as long as something is left unread, and
    // on the hang-up of a device that went away until it is dropped.
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    return epoll_ctl(wakeFd_, EPOLL_CTL_ADD, fd, &ev) == 0;
}

void EvdevKeySource::stopWakingOn(int fd) {
    if (wakeFd_ >= 0 && fd >= 0) epoll_ctl(wakeFd_, EPOLL_CTL_DEL, fd, nullptr);
}

bool EvdevKeySource::hasKeyboard() const noexcept {
    for (const Slot& s : devices_)
        if (s.device->isKeyboard()) return true;
    return false;
}

void EvdevKeySource::addDevice(const std::string& path, std::unique_ptr<InputDevice> device) {
    if (!device) return;
    if (!wakeOn(device->handle())) canWake_ = false;
    const bool isVirtual = device->isVirtual();
    devices_.push_back(Slot{path, std::move(device), nextId_++, false, isVirtual});
    resync(devices_.back());
}

void EvdevKeySource::scanDirectory() {
    DIR* d = opendir(dir_.c_str());
    if (d == nullptr) return;
    while (const dirent* e = readdir(d))
        if (isEventNode(e->d_name)) tryOpen(dir_ + "/" + e->d_name);
    closedir(d);
}

void EvdevKeySource::tryOpen(const std::string& path) {
    for (const Slot& s : devices_)
        if (s.path == path) return;
    if (opener_) addDevice(path, opener_(path));
}

void EvdevKeySource::dropDevice(std::size_t index) {
    table_.releaseDevice(devices_[index].id);
    stopWakingOn(devices_[index].device->handle());
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
}

void EvdevKeySource::resync(Slot& slot) {
    KeyStateTable::CodeSet down;
    if (slot.device->queryKeys(down))
        table_.syncDevice(slot.id, down);
    else
        table_.releaseDevice(slot.id);  // cannot tell: nothing of it stays held
}

bool EvdevKeySource::readDevice(Slot& slot, bool pairEchoes) {
    std::array<input_event, 64> records;
    for (;;) {
        const ReadResult r = slot.device->read(records);
        if (r.status == ReadResult::Status::Gone) return false;
        if (r.status == ReadResult::Status::Empty) return true;
        for (std::size_t i = 0; i < r.count; ++i) {
            const input_event& ev = records[i];
            if (slot.dropping) {
                // Records up to the next report are incomplete; then the
                // device says what it holds.
                if (ev.type == EV_SYN && ev.code == SYN_REPORT) {
                    slot.dropping = false;
                    resync(slot);
                }
                continue;
            }
            if (ev.type == EV_KEY) {
                if (ev.value == 1) {
                    const bool echo =
                        pairEchoes && echo_.isEcho(slot.isVirtual, ev.code,
                                                   std::int64_t{ev.input_event_sec} * 1'000'000 + ev.input_event_usec);
                    // A remapper's echo of a press is the same press: not one more by name either.
                    if (sink_ != nullptr && !echo && !table_.isDownOn(slot.id, ev.code)) {
                        const std::string_view name = activity::keyNameOfInputCode(ev.code);
                        if (!name.empty()) sink_->press(name, 1);
                    }
                    if (echo)
                        table_.pressAgain(slot.id, ev.code);
                    else
                        table_.press(slot.id, ev.code);
                } else if (ev.value == 0) {
                    table_.release(slot.id, ev.code);
                }
                // 2 is the keyboard's auto-repeat: not a new press.
            } else if (ev.type == EV_REL && sink_ != nullptr && ev.value != 0 &&
                       (ev.code == REL_WHEEL || ev.code == REL_HWHEEL)) {
                // Wheel steps (the high-resolution axes report the same
                // movement again in finer units).
                const bool vertical = ev.code == REL_WHEEL;
                const activity::WheelStep step =
                    vertical ? (ev.value > 0 ? activity::WheelStep::Up : activity::WheelStep::Down)
                             : (ev.value > 0 ? activity::WheelStep::Right : activity::WheelStep::Left);
                const auto steps =
                    static_cast<std::uint32_t>(ev.value > 0 ? ev.value : -static_cast<std::int64_t>(ev.value));
                sink_->press(activity::keyNameOfWheelStep(step), steps);
            } else if (ev.type == EV_SYN && ev.code == SYN_DROPPED) {
                slot.dropping = true;
            }
        }
        if (r.count < records.size()) return true;
    }
}

void EvdevKeySource::readWatch() {
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = ::read(watchFd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t off = 0; off < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + off);
            off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if ((e->mask & IN_Q_OVERFLOW) != 0) {
                scanDirectory();
                continue;
            }
            if (e->len == 0 || !isEventNode(e->name)) continue;
            const std::string path = dir_ + "/" + e->name;
            if ((e->mask & IN_DELETE) != 0) {
                for (std::size_t i = 0; i < devices_.size(); ++i)
                    if (devices_[i].path == path) {
                        dropDevice(i);
                        break;
                    }
            } else {
                // Created, or its permissions changed (the node is often
                // made readable only after it appears).
                tryOpen(path);
            }
        }
    }
}

std::string EvdevKeySource::inUse() const { return "evdev (入力デバイス " + std::to_string(devices_.size()) + " 台)"; }

void EvdevKeySource::pump() {
    // Presses are paired only while both a virtual and a physical device
    // are read: a remapper's and the keyboard it reads.
    std::size_t virtuals = 0;
    for (const Slot& s : devices_)
        if (s.isVirtual) ++virtuals;
    const bool pairEchoes = virtuals > 0 && virtuals < devices_.size();
    for (std::size_t i = 0; i < devices_.size();) {
        if (readDevice(devices_[i], pairEchoes))
            ++i;
        else
            dropDevice(i);
    }
    if (watchFd_ >= 0) readWatch();
}

}  // namespace pressory::platform::evdev
