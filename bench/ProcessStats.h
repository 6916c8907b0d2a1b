// What this process holds and has used: resident memory, open file descriptors, CPU time.
#pragma once

namespace bench {

long ResidentKib();
int OpenFileDescriptors();
double CpuSeconds(); // user and system

}
