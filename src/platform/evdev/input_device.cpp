#include "platform/evdev/input_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace pressory::platform::evdev {
namespace {

static_assert(keymap::kCodeCount == KEY_CNT, "input codes must cover every key code of the kernel");

constexpr std::size_t kLongBits = sizeof(unsigned long) * CHAR_BIT;
constexpr std::size_t kKeyLongs = (KEY_CNT + kLongBits - 1) / kLongBits;

bool bitSet(const unsigned long* bits, std::size_t i) { return ((bits[i / kLongBits] >> (i % kLongBits)) & 1ul) != 0; }

// A device node whose device the kernel keeps under /sys/devices/virtual:
// one made through uinput, with no hardware behind it.
bool isVirtualNode(const std::string& path) {
    const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
    const std::string cls = "/sys/class/input/" + std::string(name);
    char* real = realpath(cls.c_str(), nullptr);
    if (real == nullptr) return false;
    const bool virt = std::strstr(real, "/devices/virtual/") != nullptr;
    std::free(real);
    return virt;
}

}  // namespace

std::unique_ptr<FdInputDevice> FdInputDevice::open(const std::string& path, int* error) {
    if (error != nullptr) *error = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error != nullptr) *error = errno;
        return nullptr;
    }
    unsigned long types[1] = {};
    unsigned long keys[kKeyLongs] = {};
    if (ioctl(fd, EVIOCGBIT(0, sizeof types), types) < 0 || !bitSet(types, EV_KEY) ||
        ioctl(fd, EVIOCGBIT(EV_KEY, sizeof keys), keys) < 0) {
        ::close(fd);
        return nullptr;
    }
    bool counted = false;
    for (std::size_t c = 0; c < KEY_CNT && !counted; ++c)
        counted = bitSet(keys, c) && keymap::vkFromInputCode(static_cast<int>(c)) != 0;
    if (!counted) {
        ::close(fd);
        return nullptr;
    }
    const bool keyboard = bitSet(keys, KEY_A) && bitSet(keys, KEY_Z);
    return std::make_unique<FdInputDevice>(fd, keyboard, isVirtualNode(path));
}

FdInputDevice::FdInputDevice(int fd, bool keyboard, bool isVirtual)
    : fd_(fd), keyboard_(keyboard), virtual_(isVirtual) {
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

FdInputDevice::~FdInputDevice() {
    if (fd_ >= 0) ::close(fd_);
}

ReadResult FdInputDevice::read(std::span<input_event> out) {
    if (out.empty()) return {ReadResult::Status::Empty, 0};
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    std::memcpy(bytes, partial_, partialLen_);
    for (;;) {
        const ssize_t n = ::read(fd_, bytes + partialLen_, out.size_bytes() - partialLen_);
        if (n > 0) {
            const std::size_t total = partialLen_ + static_cast<std::size_t>(n);
            const std::size_t count = total / sizeof(input_event);
            partialLen_ = total % sizeof(input_event);
            std::memcpy(partial_, bytes + count * sizeof(input_event), partialLen_);
            if (count == 0) return {ReadResult::Status::Empty, 0};
            return {ReadResult::Status::Records, count};
        }
        if (n == 0) return {ReadResult::Status::Gone, 0};  // the other end of a pipe closed
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {ReadResult::Status::Empty, 0};
        return {ReadResult::Status::Gone, 0};  // ENODEV: unplugged
    }
}

bool FdInputDevice::queryKeys(KeyStateTable::CodeSet& down) {
    unsigned long keys[kKeyLongs] = {};
    if (ioctl(fd_, EVIOCGKEY(sizeof keys), keys) < 0) return false;
    down.reset();
    for (std::size_t c = 0; c < KEY_CNT; ++c)
        if (bitSet(keys, c)) down.set(c);
    return true;
}

}  // namespace pressory::platform::evdev
