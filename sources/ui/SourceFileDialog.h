// The file choices of the channel dialog: an MP4 or MKV to loop, a JPEG to
// show and the MP3 to play with it.
#pragma once

#include <QString>
#include <string>

class QWidget;

namespace tavrin {

struct TFileChoice {
    const char* name;   // object name of the dialog
    const char* title;  // window title
    const char* filter; // "description|pattern;pattern"
};

inline constexpr TFileChoice kMp4FileChoice{"OpenDialog1", "选择MP4视频",
                                            "All (*.mp4;*.mkv)|*.mp4;*.mkv"};
inline constexpr TFileChoice kPictureFileChoice{"OpenPictureDialog1", "选择图片作为视频源",
                                                "JPEG Image File (*.jpg;*.jpeg)|*.jpg;*.jpeg"};
inline constexpr TFileChoice kMp3FileChoice{"OpenDialog2", "选择MP3背景音乐", "MP3 (*.mp3)|*.mp3"};

// The filter as a Qt name filter: "All (*.mp4;*.mkv)|*.mp4;*.mkv" gives
// "All (*.mp4 *.mkv)" (Qt reads patterns separated by blanks).
QString QtNameFilter(const std::string& filter);

// Asks for one existing file; empty when the operator cancelled.
QString ChooseSourceFile(QWidget* parent, const TFileChoice& choice);

} // namespace tavrin
