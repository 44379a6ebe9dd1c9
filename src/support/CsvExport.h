#pragma once
// ｴｸｽﾎﾟｰﾄ... for a logged-on user: a grid's rows to a CSV file, in the encoding chosen in the
// save dialog, with a progress dialog that can cancel.
class QWidget;
class vaSpread;

// Asks for the file and its encoding, then writes the grid. A cancelled or failed export leaves
// no file behind and an existing file as it was; a failure is reported by message box.
void ExportGridAsCsv(QWidget* owner, vaSpread* grid);
