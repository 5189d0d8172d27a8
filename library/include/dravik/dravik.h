/* dravik: the device access library of Kestrova.
 *
 * Five exports with C linkage. Every call returns 1 on success and 0 on
 * failure; the reason of the last failure is fetched with LastErrorDevice. */
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

enum {
  LINK_USB = 0,
  LINK_SMBUS = 1,
  LINK_NONE = 2 /* the program's own "no hardware"; never accepted here */
};

enum {
  BUS_BOARD = 0,
  BUS_MICROWIRE = 1,
  BUS_I2C = 2,
  BUS_SMBUS = 3,
  BUS_SINGLEWIRE = 4,
  BUS_STREAM = 5,
  BUS_MICROWIRE4 = 6,
  BUS_SPI = 7,
  BUS_QX3TEST = 255
};

/* Register entries above 1023 name registers of the board itself. */
#define BOARD_REGISTER_BASE 1024
/* As first register entry: the packets carry no register address. */
#define NO_REGISTER_ADDRESS ((int16_t)-1)
/* Size of the last-error text buffer, terminator included. */
#define DRAVIK_ERROR_TEXT_SIZE 256

/* OpenDevice with LINK_SMBUS: driverName "/dev/i2c-1" is that device, an
 * adapter number "1" is /dev/i2c-1, any other name N is /dev/N0. With
 * DRAVIK_SMBUS_FORCE=1 chip addresses that a kernel driver has claimed are
 * used anyway. With LINK_USB and several boards attached,
 * DRAVIK_USB_BOARD=1-2.3 takes only the board at that bus and port path. */
DRAVIK_API uint8_t OpenDevice(int16_t link, const char* driverName, uint16_t* vidPid,
                              uint8_t forceFirmware, const char* firmwarePath,
                              DeviceHandle* handle);
DRAVIK_API uint8_t CloseDevice(DeviceHandle handle);
DRAVIK_API uint8_t ReadDevice(DeviceHandle handle, uint8_t port, int16_t busType,
                              int16_t deviceAddress, const int16_t* registers, uint8_t* data,
                              int16_t* dataSize);
DRAVIK_API uint8_t WriteDevice(DeviceHandle handle, uint8_t port, int16_t busType,
                               int16_t deviceAddress, const int16_t* registers, const uint8_t* data,
                               int16_t* dataSize);
DRAVIK_API uint8_t LastErrorDevice(char* buffer);

#ifdef __cplusplus
}
#endif

#endif /* DRAVIK_DRAVIK_H */
