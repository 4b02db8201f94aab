#pragma once
// Small helpers shared by the tests.
#include <QString>
#include <QTemporaryDir>

namespace testsupport {
// The folder that screenshots and other artefacts of the tests are written to.
QString ArtefactDir();
// The source tree (for fixtures shipped under data/ or tests/).
QString SourceDir();
// The laid-out program folder of the build (Data/Res and friends).
QString ProgramDir();
}
