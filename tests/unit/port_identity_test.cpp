// The port identity: the text rules of the Windows reader, and the Linux
// reader over a fake sysfs tree laid out as the kernel lays out a real one.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "link/port_identity_posix.h"
#include "link/port_list_posix.h"

namespace fs = std::filesystem;

TEST(IdentityText, FromWindowsDeviceRecords)
{
    // Each id gives "vid|pid|serial|transport", and "parent" when its USB parent knows more.
    const struct { const char* friendly; uint32_t com; const char* description; const char* id; const char* rules; } cases[] = {
        {"USB-SERIAL CH340 (COM7)", 7, "USB-SERIAL CH340", "USB\\VID_1A86&PID_7523\\5&2B3A1F&0&2", "1a86|7523||usb"},
        {"USB Serial Port (COM21)", 21, "USB Serial Port", "USB\\VID_0403&PID_6001\\A50285BI", "0403|6001|A50285BI|usb"},
        {"Port (COM7)", 17, "Port (COM7)", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "0403|6001||usb|parent"},
        {"(COM12) x", 12, "(COM12) x", "USB\\VID_2341&PID_8036&MI_00\\6&3A5B2C1&0&0000", "2341|8036||usb|parent"},
        {"", 0, "", "USB\\VID_1A86&PID_7523&REV_0264", "1a86|7523||usb"},
        {"x", 1, "x", "USB\\VID_04G3&PID_6001\\A1", "||A1|usb"},
        {"Standard Serial over Bluetooth link (COM5)", 5, "Standard Serial over Bluetooth link",
         "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_VID&0001005D_PID&0223\\7&2A8B3C&0&001122334455_C00000000",
         "|||bluetooth"},
        {"Communications Port (COM1)", 1, "Communications Port", "ACPI\\PNP0501\\0", "|||native"},
        {"", 0, "", "*PNP0501\\PNPBIOS_12", "|||native"},
        {"", 0, "", "PCI\\VEN_8086&DEV_A13D&SUBSYS_86941043&REV_31\\3&11583659&0&B3", "|||native"},
        {"com0com - serial port emulator (COM9)", 9, "com0com - serial port emulator", "COM0COM\\PORT\\CNCA0", "|||virtual"},
        {"", 0, "", "ROOT\\PORTS\\0000", "|||virtual"},
        {"", 0, "", "USBX\\VID_0403&PID_6001\\A1", "0403|6001||virtual"},
        {"", 0, "", "", "|||(null)"},
    };
    for (const auto& c : cases) {
        char description[IdentityTextSize], vid[UsbIdSize] = "x", pid[UsbIdSize] = "x", serial[IdentityTextSize];
        DescriptionFromFriendlyName(c.friendly, c.com, description, sizeof description);
        EXPECT_STREQ(description, c.description);
        UsbIdsFromDeviceId(c.id, vid, pid);
        UsbSerialFromInstanceId(c.id, serial, sizeof serial);
        const char* transport = TransportWord(TransportFromInstanceId(c.id));
        EXPECT_EQ(std::string(vid) + "|" + pid + "|" + serial + "|" + (transport ? transport : "(null)") +
                      (IdentityFromUsbParent(c.id) ? "|parent" : ""), c.rules) << c.id;
    }
    char cut[6];
    CopyIdentityText("ab\xE4\xB8\xB2\xE5", cut, sizeof cut);   // "ab串" and a lead byte: the lead byte goes
    EXPECT_STREQ(cut, "ab\xE4\xB8\xB2");
    CopyIdentityText("abc\xE4\xB8\xB2", cut, sizeof cut);
    EXPECT_STREQ(cut, "abc");
}

namespace {

// "transport|description|manufacturer|vid|pid|serial|location"; "" when undescribed.
std::string Summary(const PortIdentity& id)
{
    if (!id.described)
        return "";
    return std::string(TransportWord(id.transport)) + "|" + id.description + "|" + id.manufacturer + "|" + id.vid +
           "|" + id.pid + "|" + id.serial + "|" + id.location;
}

#define HUB "devices/pci0000:00/0000:00:14.0/usb1/1-1"
#define FTDI HUB "/1-1.2/"
#define CH340 HUB "/1-1.3/"
#define ACM HUB "/1-1.4/"
#define PNP "devices/pnp0/00:01/"
#define CTRL PNP "00:01:0/"
#define UP5 "../../../../../"   // from a folder that deep to the root
#define USB_SERIAL "../../../" UP5 "bus/usb-serial/drivers/"

// d: a folder, f: a file and its text, l: a link and its target. Only the
// names of the drivers' links are read: their targets are left out.
const struct { char kind; const char* path; const char* text; } Tree[] = {
    {'f', FTDI "idVendor", "0403\n"}, {'f', FTDI "idProduct", "6010\n"}, {'f', FTDI "serial", "FT4ABCDE\n"},
    {'f', FTDI "manufacturer", "FTDI\n"}, {'f', FTDI "product", "Dual RS232-HS\n"},
    {'f', FTDI "1-1.2:1.0/bInterfaceNumber", "00\n"}, {'d', FTDI "1-1.2:1.0/ttyUSB0/tty/ttyUSB0", ""},
    {'f', FTDI "1-1.2:1.1/bInterfaceNumber", "01\n"}, {'d', FTDI "1-1.2:1.1/ttyUSB1/tty/ttyUSB1", ""},
    {'l', FTDI "1-1.2:1.0/ttyUSB0/driver", USB_SERIAL "ftdi_sio"},
    {'l', FTDI "1-1.2:1.1/ttyUSB1/driver", USB_SERIAL "ftdi_sio"},
    {'l', "class/tty/ttyUSB0/device", "../../../" FTDI "1-1.2:1.0/ttyUSB0"},
    {'l', "class/tty/ttyUSB1/device", "../../../" FTDI "1-1.2:1.1/ttyUSB1"},
    {'f', CH340 "idVendor", "1a86\n"}, {'f', CH340 "idProduct", "7523\n"}, {'f', CH340 "product", "USB Serial\n"},
    {'f', CH340 "1-1.3:1.0/bInterfaceNumber", "00\n"}, {'d', CH340 "1-1.3:1.0/ttyUSB2/tty/ttyUSB2", ""},
    {'l', CH340 "1-1.3:1.0/ttyUSB2/driver", USB_SERIAL "ch341-uart"},
    {'l', "class/tty/ttyUSB2/device", "../../../" CH340 "1-1.3:1.0/ttyUSB2"},
    // As the kernel has it: class/tty/ttyACM0 is itself a link into devices/.
    {'f', ACM "idVendor", "1546\n"}, {'f', ACM "idProduct", "01a8\n"}, {'f', ACM "product", "u-blox GNSS receiver\n"},
    {'f', ACM "manufacturer", "u-blox AG - www.u-blox.com\n"},
    {'f', ACM "1-1.4:1.0/bInterfaceNumber", "00\n"}, {'f', ACM "1-1.4:1.1/bInterfaceNumber", "01\n"},
    {'l', ACM "1-1.4:1.0/driver", "../../" UP5 "bus/usb/drivers/cdc_acm"},
    {'l', ACM "1-1.4:1.1/driver", "../../" UP5 "bus/usb/drivers/cdc_acm"},
    {'l', ACM "1-1.4:1.0/tty/ttyACM0/device", "../../../1-1.4:1.0"},
    {'l', "class/tty/ttyACM0", "../../" ACM "1-1.4:1.0/tty/ttyACM0"},
    {'d', "devices/platform/serial8250/tty/ttyS0", ""},
    {'l', "devices/platform/serial8250/driver", "../../../bus/platform/drivers/serial8250"},
    {'l', "class/tty/ttyS0/device", "../../../devices/platform/serial8250"},
    // Linux 6.5 on: the serial core's controller and port devices stand
    // between a UART's tty and its hardware.
    {'l', PNP "driver", "../../../bus/pnp/drivers/serial"},
    {'l', CTRL "driver", "../../../../bus/serial-base/drivers/ctrl"},
    {'l', CTRL "subsystem", "../../../../bus/serial-base"},
    {'l', CTRL "00:01:0.0/driver", UP5 "bus/serial-base/drivers/port"},
    {'l', CTRL "00:01:0.0/subsystem", UP5 "bus/serial-base"}, {'d', CTRL "00:01:0.0/tty/ttyS2", ""},
    {'l', "class/tty/ttyS2/device", "../../../" CTRL "00:01:0.0"},
    {'f', "class/tty/ttyS1/dev", "4:65\n"},
    // The UART's type: 0 for a slot the kernel reserved with no UART behind it.
    {'f', "class/tty/ttyS0/type", "4\n"}, {'f', "class/tty/ttyS1/type", "0\n"}, {'f', "class/tty/ttyS2/type", "4\n"},
    {'d', "../outside", ""}, {'l', "class/tty/ttyS9/device", "../../../../outside"},
};

// A fake root holding sys/ as Tree lays it out and dev/ with the nodes named
// (plain files will do: the list reads names, never the nodes); removed at
// the end.
struct FakeRoot {
    std::string root;
    FakeRoot()
    {
        char temp[] = "/tmp/qv-sysfs.XXXXXX";
        root = mkdtemp(temp) != nullptr ? temp : "";
        for (const auto& e : Tree) {
            const fs::path path = root + "/sys/" + e.path;
            fs::create_directories(e.kind == 'd' ? path : path.parent_path());
            if (e.kind == 'f')
                std::ofstream(path) << e.text;
            if (e.kind == 'l') {
                EXPECT_EQ(symlink(e.text, path.c_str()), 0) << e.path;
            }
        }
        fs::create_directories(root + "/dev/serial/by-id");
        for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyACM0", "tty0"})
            std::ofstream(root + "/dev/" + node);
        EXPECT_EQ(symlink("../../ttyUSB1", (root + "/dev/serial/by-id/usb-FTDI_Dual_RS232-HS_FT4ABCDE-if01-port0").c_str()), 0);
    }
    ~FakeRoot() { fs::remove_all(root); }
    std::string sys() const { return root + "/sys"; }
};

}  // namespace

TEST(TtyIdentity, FromAFakeSysfsTree)
{
    const FakeRoot fake;
    ASSERT_FALSE(fake.root.empty());
    const struct { const char* tty; const char* identity; } cases[] = {
        {"ttyUSB0", "usb|Dual RS232-HS|FTDI|0403|6010|FT4ABCDE|1-1.2:1.0"},
        {"ttyUSB1", "usb|Dual RS232-HS|FTDI|0403|6010|FT4ABCDE|1-1.2:1.1"},
        {"ttyUSB2", "usb|USB Serial||1a86|7523||1-1.3"},
        {"ttyACM0", "usb|u-blox GNSS receiver|u-blox AG - www.u-blox.com|1546|01a8||1-1.4"},
        {"ttyS0", "native|serial8250|||||"},
        {"ttyS2", "native|serial|||||"},
        {"ttyS1", ""},   // no device link
        {"ttyS9", ""},   // its link leaves the tree
        {"ttyUSB7", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Summary(ReadTtyIdentity(fake.sys().c_str(), c.tty)), c.identity) << c.tty;
}

// The one list: the UARTs with hardware behind them, then the USB ports,
// each with its identity, its by-id name, and its text as people read it.
TEST(PortList, FromAFakeDevAndSysfs)
{
    const FakeRoot fake;
    ASSERT_FALSE(fake.root.empty());
    auto list = std::make_unique<SerialPortList>();
    ListTtyPorts(*list, TtyRoots{(fake.root + "/dev").c_str(), fake.sys().c_str()});
    EXPECT_TRUE(Succeeded(list->reading));
    const std::string dev = fake.root + "/dev/";
    const struct { const char* name; const char* alias; const char* description; const char* adapter; } expected[] = {
        {"ttyS0", "", "serial8250", "serial8250"},
        {"ttyS2", "", "serial", "serial"},
        {"ttyUSB0", "", "Dual RS232-HS", "Dual RS232-HS  0403:6010  serial=FT4ABCDE  location=1-1.2:1.0"},
        {"ttyUSB1", "usb-FTDI_Dual_RS232-HS_FT4ABCDE-if01-port0", "Dual RS232-HS",
         "Dual RS232-HS  0403:6010  serial=FT4ABCDE  location=1-1.2:1.1"},
        {"ttyUSB2", "", "USB Serial", "USB Serial  1a86:7523  location=1-1.3"},
        {"ttyACM0", "", "u-blox GNSS receiver", "u-blox GNSS receiver  1546:01a8  location=1-1.4"},
    };
    ASSERT_EQ(list->count, std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ListedPort& port = list->ports[i];
        const auto& e = expected[i];
        EXPECT_EQ(port.name, dev + e.name);
        EXPECT_EQ(port.alias, e.alias[0] != '\0' ? dev + "serial/by-id/" + e.alias : std::string()) << e.name;
        char text[600];
        IdentityText(port.identity, IdentityDetail::Description, text, sizeof text);
        EXPECT_STREQ(text, e.description) << e.name;
        IdentityText(port.identity, IdentityDetail::Adapter, text, sizeof text);
        EXPECT_STREQ(text, e.adapter) << e.name;
        EXPECT_FALSE(port.bluetooth);
    }
}

TEST(PortList, IdentityTextLeavesOutWhatDoesNotFit)
{
    PortIdentity id;
    std::snprintf(id.description, sizeof id.description, "USB Serial Port");
    std::snprintf(id.serial, sizeof id.serial, "A50285BI");
    char text[33];   // exactly "USB Serial Port  serial=A50285BI" and its terminator
    IdentityText(id, IdentityDetail::Adapter, text, sizeof text);
    EXPECT_STREQ(text, "USB Serial Port  serial=A50285BI");
    char small[32];
    IdentityText(id, IdentityDetail::Adapter, small, sizeof small);
    EXPECT_STREQ(small, "USB Serial Port");
    IdentityText(PortIdentity{}, IdentityDetail::Adapter, text, sizeof text);
    EXPECT_STREQ(text, "");
}
