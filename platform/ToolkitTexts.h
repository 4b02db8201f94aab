#pragma once
// Swedish texts for the toolkit's own print dialog, its printer properties and page set-up, and
// the standard dialog buttons, where the installed language catalogues have none.
class QCoreApplication;

// Installs the texts on the application; the catalogues installed before stay behind them.
void InstallSwedishToolkitTexts(QCoreApplication* application);
