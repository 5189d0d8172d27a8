/* dravik: the device access library of Kestrova.
 *
 * Five exports with C linkage. Every call returns 1 on success and 0 on
 * failure; the reason of the last failure is fetched with LastErrorDevice.
 * Calls come from one thread. Build with `pkg-config --cflags --libs dravik`
 * or, in CMake, find_package(dravik) and the target dravik::dravik.
 *
 * Environment: DRAVIK_EMULATOR=1 replaces the real boards and SMBus
 * controllers with the emulated board; DRAVIK_DEBUG prints diagnostic lines
 * to standard error; DRAVIK_TRACE=FILE appends one line per transfer to FILE;
 * DRAVIK_USB_VIDS=hex,hex adds USB vendor IDs taken for evaluation boards. */
#ifndef DRAVIK_DRAVIK_H
#define DRAVIK_DRAVIK_H

#include <stdint.h>

#if defined(DRAVIK_BUILDING_LIBRARY)
#define DRAVIK_API __attribute__((visibility("default")))
#else
#define DRAVIK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handle of an open board or SMBus controller; -1 means none. */
typedef int32_t DeviceHandle;

/* The link of OpenDevice. */
enum {
  LINK_USB = 0,   /* the USB evaluation board (libusb) */
  LINK_SMBUS = 1, /* an SMBus/I2C adapter (Linux i2c-dev) */
  LINK_NONE = 2   /* the program's own "no hardware"; never accepted here */
};

/* The bus of ReadDevice/WriteDevice: how the board reaches the chip. On the
 * SMBus link every bus type means the adapter's SMBus. */
enum {
  BUS_BOARD = 0,     /* registers of the board itself */
  BUS_MICROWIRE = 1, /* three-wire Microwire */
  BUS_I2C = 2,
  BUS_SMBUS = 3,
  BUS_SINGLEWIRE = 4,
  BUS_STREAM = 5,     /* a byte stream read in one go */
  BUS_MICROWIRE4 = 6, /* four-wire Microwire */
  BUS_SPI = 7,
  BUS_QX3TEST = 255 /* the board's test bus */
};

/* Register entries above 1023 name registers of the board itself. */
#define BOARD_REGISTER_BASE 1024
/* As first register entry: the packets carry no register address. */
#define NO_REGISTER_ADDRESS ((int16_t)-1)
/* Size of the last-error text buffer, terminator included. */
#define DRAVIK_ERROR_TEXT_SIZE 256
/* How the last-error text starts when OpenDevice refused to download
 * Kestrova's placeholder firmware image to a real board; the path of the
 * image to replace with the board maker's follows. */
#define DRAVIK_PLACEHOLDER_FIRMWARE_ERROR \
  "OpenDevice: Placeholder firmware, for the emulated board only: put the board maker's image at "

/* Opens a board or an SMBus controller.
 *   link          LINK_USB or LINK_SMBUS.
 *   driverName    USB: the board driver's name, e.g. "dravik" (not empty).
 *                 SMBus: the adapter: a device path ("/dev/i2c-1"), an
 *                 adapter number ("1" is /dev/i2c-1), or any other name N,
 *                 which is /dev/N0; "dravik_i2c" is the emulated controller.
 *   vidPid        USB: in, the vendor and product ID wanted ({0, 0}: the
 *                 first board); out, those of the board opened. Not NULL.
 *   forceFirmware USB: nonzero downloads the firmware even when the board
 *                 already runs it.
 *   firmwarePath  USB: the firmware image file (.bix) for a board without
 *                 firmware, at most 255 characters; on a high-speed board
 *                 its last character becomes '2' (.bi2). The file is read
 *                 only when a download is due; NULL then fails.
 *   handle        out: the handle, or -1 on failure. Not NULL.
 * A failure may still return a handle (a board that failed after it was
 * opened): close every handle other than -1. With DRAVIK_SMBUS_FORCE=1 chip
 * addresses that a kernel driver has claimed are used anyway. With LINK_USB
 * and several boards attached, DRAVIK_USB_BOARD=1-2.3 takes only the board
 * at that bus and port path. */
DRAVIK_API uint8_t OpenDevice(int16_t link, const char* driverName, uint16_t* vidPid,
                              uint8_t forceFirmware, const char* firmwarePath,
                              DeviceHandle* handle);
/* Closes a handle OpenDevice returned. */
DRAVIK_API uint8_t CloseDevice(DeviceHandle handle);
/* Reads registers of one chip in one transfer.
 *   handle         from OpenDevice.
 *   port           board port, or the SMBus port byte.
 *   busType        a BUS_ value.
 *   deviceAddress  the chip's bus address (7-bit I2C address, 0 to 0x7f).
 *   registers      *dataSize register entries: chip register addresses,
 *                  board registers from BOARD_REGISTER_BASE on (at most
 *                  1024 of each kind), or NO_REGISTER_ADDRESS for none. The
 *                  same address twice in a row reads the next byte of a wide
 *                  register.
 *   data           out: one byte per entry.
 *   dataSize       in: the number of entries, at least 1. BUS_STREAM: the
 *                  most bytes wanted; out: the bytes the stream held. */
DRAVIK_API uint8_t ReadDevice(DeviceHandle handle, uint8_t port, int16_t busType,
                              int16_t deviceAddress, const int16_t* registers, uint8_t* data,
                              int16_t* dataSize);
/* Writes registers of one chip; the arguments are those of ReadDevice, with
 * data holding the byte for each entry. */
DRAVIK_API uint8_t WriteDevice(DeviceHandle handle, uint8_t port, int16_t busType,
                               int16_t deviceAddress, const int16_t* registers, const uint8_t* data,
                               int16_t* dataSize);
/* Copies the last failure's text into buffer, which must hold
 * DRAVIK_ERROR_TEXT_SIZE bytes; the text is terminated. */
DRAVIK_API uint8_t LastErrorDevice(char* buffer);

#ifdef __cplusplus
}
#endif

#endif /* DRAVIK_DRAVIK_H */
