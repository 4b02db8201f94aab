#pragma once
// Swedish texts for the toolkit's own print dialog (with its printer properties and page set-up),
// file and colour choosers and standard dialog buttons, where the installed language catalogues
// have none.
class QCoreApplication;

// Installs the installed language catalogues and these texts, which are asked first.
void InstallSwedishToolkitTexts(QCoreApplication* application);
