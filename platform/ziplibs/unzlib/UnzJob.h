#pragma once
// The unpacking job behind one command record: reads the archive and writes its entries
// below the base folder. The unpacking module runs it for the component; the
// self-extractor stub runs it on its own file, so both refuse the same unsafe names and
// write through the same checked atomic writer.
#include <cstdint>

#include "platform/ziplibs/ZipLibApi.h"

namespace unzlib {

// Runs the job of the record; the number of files written (or tested). Nothing escapes as
// an exception: every failure goes through the record's callback.
int32_t RunUnzipJob(UnzipCommandRec* rec);

}  // namespace unzlib
