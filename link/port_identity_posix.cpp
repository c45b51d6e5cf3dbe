// The identity of a tty from sysfs. <root>/class/tty/<name>/device links to
// the device the tty belongs to: a usb-serial port (ttyUSBn) below its USB
// interface, a USB interface itself (cdc-acm's ttyACMn), a platform or PNP
// UART (ttySn). Above a USB interface ("1-1.2:1.0", with bInterfaceNumber)
// stands its USB device ("1-1.2", with idVendor, idProduct and the strings).
// Only attribute files and links are read; the tty is never opened.
#include "link/port_identity_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

struct Path {
    char text[PATH_MAX];
};

bool Join(Path& out, const char* a, const char* b)
{
    const int n = std::snprintf(out.text, sizeof out.text, "%s/%s", a, b);
    return n > 0 && static_cast<size_t>(n) < sizeof out.text;
}

bool Exists(const char* dir, const char* name)
{
    Path path;
    return Join(path, dir, name) && access(path.text, F_OK) == 0;
}

// An attribute as the kernel writes it, without its trailing newline, cut
// to `capacity` at a character boundary (a USB string may be 378 bytes of
// UTF-8).
void ReadAttribute(const char* dir, const char* name, char* out, size_t capacity)
{
    char text[512] = {};
    Path path;
    const int fd = Join(path, dir, name) ? open(path.text, O_RDONLY | O_CLOEXEC) : -1;
    if (fd >= 0) {
        const ssize_t n = read(fd, text, sizeof text - 1);
        close(fd);
        text[n > 0 ? n : 0] = '\0';
        text[std::strcspn(text, "\n")] = '\0';
    }
    CopyIdentityText(text, out, capacity);
}

// The basename of a link's target ("driver" -> "ftdi_sio"), "" without one.
void LinkName(const char* dir, const char* link, char* out, size_t capacity)
{
    Path path, target;
    const ssize_t n = Join(path, dir, link) ? readlink(path.text, target.text, sizeof target.text - 1) : -1;
    target.text[n > 0 ? n : 0] = '\0';
    const char* slash = std::strrchr(target.text, '/');
    CopyIdentityText(slash != nullptr ? slash + 1 : target.text, out, capacity);
}

// Cuts `dir` back to its parent; false at or above `root`, which the walk
// never leaves.
bool Up(char* dir, size_t rootLength)
{
    char* slash = std::strrchr(dir, '/');
    if (slash == nullptr || static_cast<size_t>(slash - dir) <= rootLength)
        return false;
    *slash = '\0';
    return true;
}

// Since Linux 6.5 a UART's tty hangs below two devices of the serial core's
// own bus ("00:00:0.0", driver "port"; "00:00:0", driver "ctrl"); the
// hardware (pnp "00:00", driver "serial"; platform "serial8250") is above
// them.
void SkipSerialCore(char* dir, size_t rootLength)
{
    char subsystem[32];
    LinkName(dir, "subsystem", subsystem, sizeof subsystem);
    while (std::strcmp(subsystem, "serial-base") == 0 && Up(dir, rootLength))
        LinkName(dir, "subsystem", subsystem, sizeof subsystem);
}

// Whether an interface directory holds a tty: a usb-serial port ("ttyUSB1")
// or cdc-acm's "tty" class folder.
bool CarriesTty(const char* interfaceDir)
{
    DIR* dir = opendir(interfaceDir);
    if (dir == nullptr)
        return false;
    bool found = false;
    while (const dirent* entry = readdir(dir))
        found = found || std::strncmp(entry->d_name, "tty", 3) == 0;
    closedir(dir);
    return found;
}

// How many interfaces of the USB device ("1-1.2:1.0", "1-1.2:1.1", ...) hold
// a tty: a two-port adapter has two, a CDC ACM modem one (its data interface
// has none).
int TtyInterfaces(const char* usbDir)
{
    const char* name = std::strrchr(usbDir, '/') + 1;
    const size_t nameLength = std::strlen(name);
    DIR* dir = opendir(usbDir);
    if (dir == nullptr)
        return 0;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        Path child;
        if (std::strncmp(entry->d_name, name, nameLength) == 0 && entry->d_name[nameLength] == ':' &&
            Join(child, usbDir, entry->d_name) && CarriesTty(child.text))
            ++count;
    }
    closedir(dir);
    return count;
}

// Walks up from the device to its USB interface and USB device, if any, and
// fills the USB fields from the USB device's attributes. False when no USB
// device stands above it.
bool ReadUsbDeviceAbove(char* dir, size_t rootLength, PortIdentity& id)
{
    Path interfaceDir{};
    while (!Exists(dir, "idVendor")) {
        if (interfaceDir.text[0] == '\0' && Exists(dir, "bInterfaceNumber"))
            CopyIdentityText(dir, interfaceDir.text, sizeof interfaceDir.text);
        if (!Up(dir, rootLength))
            return false;
    }
    ReadAttribute(dir, "idVendor", id.vid, sizeof id.vid);
    ReadAttribute(dir, "idProduct", id.pid, sizeof id.pid);
    ReadAttribute(dir, "serial", id.serial, sizeof id.serial);
    ReadAttribute(dir, "manufacturer", id.manufacturer, sizeof id.manufacturer);
    ReadAttribute(dir, "product", id.description, sizeof id.description);
    // The interface's name is the device's with ":1.N" after it; it tells the
    // ports of a multi-port adapter apart.
    const bool several = interfaceDir.text[0] != '\0' && TtyInterfaces(dir) > 1;
    const char* where = several ? interfaceDir.text : dir;
    CopyIdentityText(std::strrchr(where, '/') + 1, id.location, sizeof id.location);
    return true;
}

}  // namespace

PortIdentity ReadTtyIdentity(const char* sysfsRoot, const char* ttyName)
{
    PortIdentity id;
    Path root, link, device;
    if (realpath(sysfsRoot, root.text) == nullptr || ttyName[0] == '.' || std::strchr(ttyName, '/') != nullptr ||
        std::snprintf(link.text, sizeof link.text, "%s/class/tty/%s/device", root.text, ttyName) >=
            static_cast<int>(sizeof link.text) ||
        realpath(link.text, device.text) == nullptr)
        return id;
    // A link that leads out of the tree names nothing in it.
    const size_t rootLength = std::strlen(root.text);
    if (std::strncmp(device.text, root.text, rootLength) != 0 || device.text[rootLength] != '/')
        return id;
    id.described = true;
    SkipSerialCore(device.text, rootLength);
    char driver[IdentityTextSize];
    LinkName(device.text, "driver", driver, sizeof driver);
    // An rfcomm tty's device is its Bluetooth link, whose adapter may itself
    // sit on USB: the profile, not the adapter, is how the port is attached.
    if (std::strncmp(ttyName, "rfcomm", 6) == 0)
        id.transport = Transport::Bluetooth;
    else if (ReadUsbDeviceAbove(device.text, rootLength, id))
        id.transport = Transport::Usb;
    else
        id.transport = driver[0] != '\0' ? Transport::Native : Transport::Virtual;
    if (id.description[0] == '\0')
        CopyIdentityText(driver, id.description, sizeof id.description);
    return id;
}
