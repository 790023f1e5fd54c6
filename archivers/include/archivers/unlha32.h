/* LHA archiver library: one entry point that takes a command line.
 *   u  create or update:   u -jm2 -c1 -a1 "C:\out\a.lzh" "C:\stage\" "*.*"
 *   s  self-extractor:     s -+ -x1 -gw4 -gp0 "C:\out\a.lzh" "C:\out\"
 *   x  extract, l list, t test.
 * Returns 0 on success; otherwise a code of 0x8000 and above and, when output is given, a
 * one-line reason in it. */
#ifndef ARCHIVERS_UNLHA32_H
#define ARCHIVERS_UNLHA32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int Unlha(void* owner, const char* commandLine, char* output, uint32_t outputSize);
/* Nonzero while a call is in progress. */
int UnlhaGetRunning(void);
/* Version times 100. */
uint16_t UnlhaGetVersion(void);

#ifdef __cplusplus
}
#endif

#endif
