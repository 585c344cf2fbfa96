#include "platform/StringTable.h"

#include <iterator>

#include "platform/Language.h"

namespace {

struct Entry {
    int id;
    const char* english;
    const char* japanese;  // UTF-8
};

// Sorted by id.
constexpr Entry kStrings[] = {
    // Tooltips: Japanese in both tables (they are shown on Japanese systems only).
    {200, "カメラ映像の表示／非表示を切り替えます", "カメラ映像の表示／非表示を切り替えます"},
    {201, "現在の映像を画像として保存します", "現在の映像を画像として保存します"},
    {202, "保存先のフォルダを設定します", "保存先のフォルダを設定します"},
    {203, "カメラの設定をします", "カメラの設定をします"},
    {204, "画像保存の際計測ラインを表示した状態で保存します", "画像保存の際計測ラインを表示した状態で保存します"},
    {205, "サムネイル画面を表示します", "サムネイル画面を表示します"},
    {206, "ホワイトバランスを自動調節します", "ホワイトバランスを自動調節します"},
    {207, "表示倍率を変更します", "表示倍率を変更します"},
    {208, "２点間の距離を測ります", "２点間の距離を測ります"},
    {209, "指定した多角形の面積を測ります", "指定した多角形の面積を測ります"},
    {210, "円の直径を計ります", "円の直径を計ります"},
    {211, "円の直径と２円間の距離を測ります", "円の直径と２円間の距離を測ります"},
    {212, "垂線の距離を測ります", "垂線の距離を測ります"},
    {213, "角度を測ります", "角度を測ります"},
    {214, "測定項目を削除します", "測定項目を削除します"},
    {215, "測定項目を全て削除します", "測定項目を全て削除します"},
    {216, "計測線などの色を設定します", "計測線などの色を設定します"},
    {217, "計測結果を保存します", "計測結果を保存します"},
    {218, "校正値を設定します", "校正値を設定します"},
    {219, "校正値を選択します", "校正値を選択します"},
    {220, "計測結果を表示します", "計測結果を表示します"},
    {224, "スケールの設定をします", "スケールの設定をします"},
    {1000, "Length", "二点間距離"},
    {1001, "Polygon area", "多角形面積"},
    {1002, "Circle diameter", "円直径"},
    {1003, "Circle distance", "二円間距離"},
    {1004, "Angle", "角度"},
    {1005, "degree", "ｰ"},
    {1006, "Data", "校正値"},
    {1007, "Type", "計測内容"},
    {1008, "Result", "測定値"},
    {1009, "Unit", "単位"},
    {1010, "MS Sans Serif", "ＭＳ　Ｐゴシック"},
    {1011, "It has already startup", "既に同系列のソフトが起動しているため起動できません"},
    {1012, "The camera has been disconnected or does not respond. The live view has stopped.\nConnect the camera "
           "and press LIVE to resume.",
     "カメラが切断されたか、応答しません。ライブ表示を停止しました。\nカメラを接続し、LIVE を押すと再開します。"},
    {1013, "The camera %1 could not be opened. The camera %2 is shown instead.",
     "カメラ %1 を開けませんでした。代わりにカメラ %2 を表示しています。"},
    {1014, "stopped", "停止中"},
    {1015, "Frames of %1 x %2 refused, %3 x %4 expected", "%1 x %2 の画像は表示できません（%3 x %4 のはず）"},
    {1016, "Short frames refused: %1 bytes, %2 expected", "不足した画像は表示できません：%1 バイト（%2 バイトのはず）"},
    {1017, "The camera sends frames of %1 x %2 pixels, where %3 x %4 were expected. They cannot be shown.",
     "カメラは %1 x %2 ピクセルの画像を送っていますが、%3 x %4 ピクセルのはずです。画像を表示できません。"},
    {1018, "The camera sends frames of %1 bytes, where %3 x %4 pixels need %2 bytes. They cannot be shown.",
     "カメラは %1 バイトの画像を送っていますが、%3 x %4 ピクセルには %2 バイトが必要です。画像を表示できません。"},
    {1019, "The camera %1 is there, but this user may not open it. Add the user to the group \"video\":\n\n"
           "    sudo usermod -aG video $USER\n\nthen log out and in again. The camera %2 is shown instead.",
     "カメラ %1 はありますが、このユーザーには開く権限がありません。ユーザーを \"video\" グループに追加してください：\n\n"
     "    sudo usermod -aG video $USER\n\nその後、ログインし直してください。代わりにカメラ %2 を表示しています。"},
};

}  // namespace

QString LoadString(int id, bool japanese)
{
    for (const Entry& e : kStrings) {
        if (e.id == id)
            return QString::fromUtf8(japanese ? e.japanese : e.english);
    }
    return {};
}

QString LoadString(int id) { return LoadString(id, g_bJapanese != 0); }
