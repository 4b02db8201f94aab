#pragma once
// What the picture screen does with the files of the current picture of cdsFungiPics: its
// thumbnail, the species' main picture cut from it, and the download of a linked picture.
// Files follow their records: a failure leaves the old files and the records as they were.
#include <QString>

class TExtClientDataSet;
class TFRIConnection;

namespace fungipics {

// Writes the thumbnail of the picture with the key from its picture file.
void MakeThumbnail(const QString& pictureKey);
// Makes the current picture the main picture of its species (the current record of fungi):
// every other main picture of the species is cleared, MP<species>.jpg is cut from the
// marker square, HasPic and IsMainPic are set.
void MakeMainPicture(TExtClientDataSet* pics, TExtClientDataSet* fungi);
// Makes the current picture the main picture of its species (MasterUKey), which has none,
// wherever the species lies: its stored record gets HasPic, also when fungi's selection
// hides it.
void MakeFirstMainPicture(TExtClientDataSet* pics, TExtClientDataSet* fungi);
// Downloads PicURL of the current picture into its picture file, makes its thumbnail and
// marks it downloaded. A failure raises the connection's message and changes nothing.
void DownloadWebPicture(TFRIConnection& connection, TExtClientDataSet* pics);

}  // namespace fungipics
