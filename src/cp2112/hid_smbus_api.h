/* The C interface of the CP2112 bridge library (libslabhidtosmbus.so) as this program calls it:
 * the fifteen HidSmbus_* functions, their status codes and the values passed to them. The
 * program never links against the library; it looks the functions up by name at run time. */
#ifndef KESTROVA_CP2112_HID_SMBUS_API_H_
#define KESTROVA_CP2112_HID_SMBUS_API_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 0 is success for every call; any other value is the library's error code. */
typedef int32_t HID_SMBUS_STATUS;
typedef void* HID_SMBUS_DEVICE;

#define HID_SMBUS_SUCCESS 0

/* String kinds of HidSmbus_GetString. */
#define HID_SMBUS_GET_VID_STR 1
#define HID_SMBUS_GET_PID_STR 2
#define HID_SMBUS_GET_PATH_STR 3
#define HID_SMBUS_GET_SERIAL_STR 4
#define HID_SMBUS_GET_MANUFACTURER_STR 5
#define HID_SMBUS_GET_PRODUCT_STR 6

/* The caller's buffer for HidSmbus_GetString, terminating zero included. */
#define HID_SMBUS_STRING_LENGTH 260

/* Transfer statuses (status 0) of the read and transfer-status responses. */
#define HID_SMBUS_S0_IDLE 0
#define HID_SMBUS_S0_BUSY 1
#define HID_SMBUS_S0_COMPLETE 2
#define HID_SMBUS_S0_ERROR 3

/* The most bytes one read response or one write request carries. */
#define HID_SMBUS_MAX_TRANSFER 61

HID_SMBUS_STATUS HidSmbus_GetNumDevices(uint32_t* num_devices, uint16_t vid, uint16_t pid);
HID_SMBUS_STATUS HidSmbus_GetString(uint32_t device_num, uint16_t vid, uint16_t pid,
                                    char* device_string, uint32_t kind);
HID_SMBUS_STATUS HidSmbus_GetAttributes(uint32_t device_num, uint16_t vid, uint16_t pid,
                                        uint16_t* device_vid, uint16_t* device_pid,
                                        uint16_t* release_number);
HID_SMBUS_STATUS HidSmbus_Open(HID_SMBUS_DEVICE* device, uint32_t device_num, uint16_t vid,
                               uint16_t pid);
HID_SMBUS_STATUS HidSmbus_Close(HID_SMBUS_DEVICE device);
HID_SMBUS_STATUS HidSmbus_Reset(HID_SMBUS_DEVICE device);
HID_SMBUS_STATUS HidSmbus_IsOpened(HID_SMBUS_DEVICE device, int32_t* opened);
HID_SMBUS_STATUS HidSmbus_SetTimeouts(HID_SMBUS_DEVICE device, uint32_t response_timeout_ms);
HID_SMBUS_STATUS HidSmbus_SetSmbusConfig(HID_SMBUS_DEVICE device, uint32_t bit_rate,
                                         uint8_t own_address, int32_t auto_read_respond,
                                         uint16_t write_timeout_ms, uint16_t read_timeout_ms,
                                         int32_t scl_low_timeout, uint16_t transfer_retries);
HID_SMBUS_STATUS HidSmbus_ReadRequest(HID_SMBUS_DEVICE device, uint8_t slave_address,
                                      uint16_t byte_count);
HID_SMBUS_STATUS HidSmbus_GetReadResponse(HID_SMBUS_DEVICE device, uint8_t* status, uint8_t* buffer,
                                          uint8_t buffer_size, uint8_t* bytes_read);
HID_SMBUS_STATUS HidSmbus_WriteRequest(HID_SMBUS_DEVICE device, uint8_t slave_address,
                                       uint8_t* buffer, uint8_t byte_count);
HID_SMBUS_STATUS HidSmbus_TransferStatusRequest(HID_SMBUS_DEVICE device);
HID_SMBUS_STATUS HidSmbus_GetTransferStatusResponse(HID_SMBUS_DEVICE device, uint8_t* status0,
                                                    uint8_t* status1, uint16_t* retries,
                                                    uint16_t* bytes_read);
HID_SMBUS_STATUS HidSmbus_CancelIo(HID_SMBUS_DEVICE device);

#ifdef __cplusplus
}
#endif

#endif /* KESTROVA_CP2112_HID_SMBUS_API_H_ */
