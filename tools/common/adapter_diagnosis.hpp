#pragma once
// Why an SMBus adapter or a chip address on it cannot be used, in words a
// bench user can act on: the device path, the system's reason, and what
// fixes it (the i2c group, `modprobe i2c-dev`, a kernel driver that holds
// the address and `--force`). libdravik keeps its fixed error texts; the
// tools look at the adapter themselves when the library reports a failure.

#include <string>
#include <string_view>

namespace kestrova::tools {

// The device path libdravik opens for an SMBus driver name: the name itself
// when it starts with "/", "/dev/i2c-N" for an adapter number N, else
// "/dev/" + name + "0".
std::string SmbusDevicePath(std::string_view driverName);

// The sentence for an adapter that did not open with `error` (an errno
// value): path, reason and remedy.
std::string AdapterOpenProblem(const std::string& path, int error,
                               const std::string& sysRoot = "/sys");

// Why the adapter at `path` cannot carry libdravik's transfers (it does not
// open, or cannot do SMBus byte-data); empty when it can.
std::string DiagnoseAdapter(const std::string& path);

// Why chip `address` on the adapter at `path` is refused: a kernel driver
// holds it (EBUSY), named when sysfs says which. Empty when nothing is found.
std::string DiagnoseAddress(const std::string& path, int address);

// Said once when --force is given, as `i2cget -f` warns in its manual.
inline constexpr std::string_view kForceWarning =
    "--force: chip addresses a kernel driver has claimed are used anyway; this can confuse "
    "that driver and give wrong values";

}  // namespace kestrova::tools
