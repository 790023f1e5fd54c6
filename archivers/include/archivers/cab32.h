/* CAB archiver library: one entry point that takes a command line.
 *   -a  create:            -a -ml:21 -i "C:\out\a.cab" "C:\stage\" "*.*"
 *   -f  self-extractor:    -f -i "C:\out\a.cab" "C:\out\"
 *   -x  extract, -l list, -t test.
 * Returns 0 on success; otherwise a code of 0x8000 and above and, when output is given, a
 * one-line reason in it. */
#ifndef ARCHIVERS_CAB32_H
#define ARCHIVERS_CAB32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int Cab(void* owner, const char* commandLine, char* output, uint32_t outputSize);
/* Nonzero while a call is in progress. */
int CabGetRunning(void);
/* Version times 100. */
uint16_t CabGetVersion(void);

#ifdef __cplusplus
}
#endif

#endif
