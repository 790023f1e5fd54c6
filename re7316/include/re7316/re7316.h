// RE7316: the PCI CAN board driver. One device per CAN channel, named "\Device\DiZed<slot>"
// and linked as "\\.\DIZED<n>" (n from 1 upward, lowest free).
#pragma once

#include "kernel/machine.h"

namespace re7316 {

// {00E7BCF1-CEC6-4D73-A298-C14FE07FDB65}: channels of board type 2.
inline const GUID kInterfaceType2 = {0x00E7BCF1, 0xCEC6, 0x4D73, {0xA2, 0x98, 0xC1, 0x4F, 0xE0, 0x7F, 0xDB, 0x65}};
// {FA04D38A-AA07-4F1A-8C44-6889023AC25C}: channels of every other board type.
inline const GUID kInterfaceCan = {0xFA04D38A, 0xAA07, 0x4F1A, {0x8C, 0x44, 0x68, 0x89, 0x02, 0x3A, 0xC2, 0x5C}};

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

// Registers the driver with the machine for the board's PCI functions (vendor 0x1B3E).
void RegisterDriver(kernel::Machine& machine);

}  // namespace re7316
