#pragma once
// Fitting a picture into a size: the one scaling of pictures that the program's windows, its
// widget-free picture units and the build's generators share. Qt Gui only, no widgets.
class QImage;

// Target := Source drawn stretched into Width x Height pixels on white; with KeepAspect the
// side that would distort is reduced (rounded to the nearest pixel, a tie to the even one,
// never below one). A null source or a size below one pixel gives a null target.
void DrawPictureFit(const QImage& source, QImage& target, int width, bool keepAspect, int height);
