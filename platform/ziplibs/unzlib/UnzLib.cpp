// The unpacking module's two entry points.
#include <QtGlobal>

#include "platform/ziplibs/unzlib/UnzJob.h"

extern "C" Q_DECL_EXPORT int32_t GetUnzLibVersion() { return ziplibs::LibVersion; }

extern "C" Q_DECL_EXPORT int32_t UnzLibExec(UnzipCommandRec* rec) { return unzlib::RunUnzipJob(rec); }
