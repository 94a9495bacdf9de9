#include "platform/linux/switching_key_source.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace pressory::platform {
namespace {

bool addTo(int set, int fd) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    return epoll_ctl(set, EPOLL_CTL_ADD, fd, &ev) == 0;
}

}  // namespace

SwitchingKeySource::SwitchingKeySource(std::unique_ptr<PlatformKeySource> fallback, std::string fallbackInUse,
                                       std::unique_ptr<evdev::EvdevKeySource> devices)
    : fallback_(std::move(fallback)), fallbackInUse_(std::move(fallbackInUse)), devices_(std::move(devices)) {
    const int a = fallback_ ? fallback_->wakeHandle() : -1;
    const int b = devices_->wakeHandle();
    if ((fallback_ && a < 0) || b < 0) return;
    wakeFd_ = epoll_create1(EPOLL_CLOEXEC);
    if (wakeFd_ >= 0 && ((fallback_ && !addTo(wakeFd_, a)) || !addTo(wakeFd_, b))) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
    if (fallback_ && devices_->hasKeyboard()) switchToDevices();
}

SwitchingKeySource::~SwitchingKeySource() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void SwitchingKeySource::switchToDevices() {
    // What the fallback has read is handed over with the devices' first readings.
    fallback_->pump();
    for (int vk = 0; vk < 256; ++vk) {
        const counting::KeyReading r = fallback_->readKey(vk);
        const std::int32_t presses = r.presses > 0                                        ? r.presses
                                     : r.presses == counting::KeyReading::kPressesUnknown ? (r.state & 1)
                                                                                          : 0;
        carried_[static_cast<std::size_t>(vk)] = presses;
        // The devices' own readings so far are of presses the fallback has
        // counted, as far as it could see them.
        (void)devices_->readKey(vk);
    }
    if (wakeFd_ >= 0) epoll_ctl(wakeFd_, EPOLL_CTL_DEL, fallback_->wakeHandle(), nullptr);
    fallback_.reset();
}

void SwitchingKeySource::pump() {
    devices_->pump();  // the folder watch: devices that became readable
    if (!fallback_) return;
    if (devices_->hasKeyboard())
        switchToDevices();
    else
        fallback_->pump();
}

counting::KeyReading SwitchingKeySource::readKey(int vk) {
    if (fallback_) return fallback_->readKey(vk);
    counting::KeyReading r = devices_->readKey(vk);
    if (vk >= 0 && vk < 256) {
        std::int32_t& carried = carried_[static_cast<std::size_t>(vk)];
        if (carried > 0) {
            r.state = static_cast<std::int16_t>(r.state | 1);
            r.presses = r.presses > 2147483647 - carried ? 2147483647 : r.presses + carried;
            carried = 0;
        }
    }
    return r;
}

void SwitchingKeySource::setKeysShown(bool shown) {
    if (fallback_) fallback_->setKeysShown(shown);
    devices_->setKeysShown(shown);
}

void SwitchingKeySource::setPressSink(activity::PressSink* sink) {
    if (fallback_) fallback_->setPressSink(sink);
    devices_->setPressSink(sink);
}

std::string SwitchingKeySource::inUse() const { return fallback_ ? fallbackInUse_ : devices_->inUse(); }

}  // namespace pressory::platform
