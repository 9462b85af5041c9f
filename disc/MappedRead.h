// Reading memory that maps a file, safely. When the file is cut short while mapped, the
// system raises SIGBUS on the pages past its new end; inside ReadMapped that fault ends
// the read, as a short read would, instead of ending the process.
#pragma once

// Calls `read(context)`, which reads mapped memory; false when that faulted (the read
// was broken off where it faulted). Where nothing is mapped (Windows) it just calls it.
// What `read` runs must hold nothing that needs destroying when it is broken off.
bool ReadMapped(void (*read)(void* context), void* context);
