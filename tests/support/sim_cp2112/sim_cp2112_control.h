/* Control of the simulated CP2112 bridge library: tests look these up with dlsym in the loaded
 * module; a user sets KESTROVA_SIM_CP2112 instead (see README.md). */
#ifndef KESTROVA_SIM_CP2112_CONTROL_H_
#define KESTROVA_SIM_CP2112_CONTROL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets all devices, scripts, injected failures and counts. */
void SimCp2112_Reset(void);
/* Adds a bridge and returns its device index. A null serial number cannot be read. */
int SimCp2112_AddDevice(const char* serial, const char* manufacturer, const char* product);
/* The next `times` calls of `function` (e.g. "HidSmbus_Open") return `status`; times < 0:
 * every call until the next Reset. */
void SimCp2112_FailCall(const char* function, int32_t status, int times);
/* How often `function` was called since the last Reset. */
int SimCp2112_CallCount(const char* function);

/* The slave at 0x6C behind bridge `device`. */
/* Echo: each SPA9 frame written is queued as a reply. */
void SimCp2112_SetEcho(int device, int on);
/* Queues bytes the slave answers to one read transfer (padded with zeros to the byte count). */
void SimCp2112_QueueReply(int device, const uint8_t* bytes, int length);
/* Read and write transfers report busy this many times before they complete. */
void SimCp2112_SetBusy(int device, int read_busy, int write_busy);
/* A read response carries at most this many bytes (1..61); longer answers take several. */
void SimCp2112_SetResponseSize(int device, int bytes);
/* The next `count` read responses complete with no bytes before the answer comes. */
void SimCp2112_SetEmptyResponses(int device, int count);
/* The next `count` read transfers, or write transfers, end with the error status. */
void SimCp2112_FailTransfers(int device, int reads, int writes);
/* The next reply has this byte right after its frame, as an out-of-step slave sends. */
void SimCp2112_TrailNextReply(int device, uint8_t byte);
/* Takes the oldest write transfer's bus bytes into `buffer`; returns its length, -1 if none. */
int SimCp2112_TakeWritten(int device, uint8_t* buffer, int capacity);
/* How often bridge `device` was opened. */
int SimCp2112_OpenCount(int device);

#ifdef __cplusplus
}
#endif

#endif /* KESTROVA_SIM_CP2112_CONTROL_H_ */
