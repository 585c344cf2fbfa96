#include "files/FileTexts.h"

namespace FileTexts {

namespace {

QString pick(bool japanese, const char* english, const char* japaneseText)
{
    return QString::fromUtf8(japanese ? japaneseText : english);
}

} // namespace

QString SaveTitle(bool japanese)
{
    return pick(japanese, "Save as", "保存先指定");
}

QStringList SaveFilters(bool japanese)
{
    return { pick(japanese, "Bitmap File(*.bmp)", "ビットマップファイル(*.bmp)"),
        pick(japanese, "Jpeg File(*.jpg)", "JPEGファイル(*.jpg)"), pick(japanese, "PNG File(*.png)", "PNGファイル(*.png)"),
        pick(japanese, "TIFF File(*.tif *.tiff)", "TIFFファイル(*.tif *.tiff)") };
}

QString FolderTitle(bool japanese)
{
    return pick(japanese, "Please specify a save folder", "フォルダを選択して下さい");
}

QString NotSaved(bool japanese)
{
    return pick(japanese, "The picture was not saved.", "画像を保存できませんでした。");
}

QString FolderRefused(bool japanese)
{
    return pick(japanese, "Pictures cannot be saved in this folder.", "このフォルダには画像を保存できません。");
}

QString ThumbnailsNotSaved(bool japanese)
{
    return pick(japanese, "The thumbnail list of the previous folder could not be saved.",
        "前のフォルダのサムネイル一覧を保存できませんでした。");
}

QString ConfirmRemove(bool japanese, const QString& fileName)
{
    return pick(japanese,
        "Delete \"%1\" permanently?\nIt cannot be restored. To keep a way back, choose Trash box instead.",
        "「%1」を完全に削除しますか？\n削除したファイルは元に戻せません。元に戻せるようにするには「ゴミ箱」を選んでください。")
        .arg(fileName);
}

QString BrowserTitle(bool japanese)
{
    return pick(japanese, "Thumbnail", "サムネイル");
}

QString SkippedNames(bool japanese, int count)
{
    if (count <= 0)
        return {};
    return pick(japanese, " (%1 pictures left out: file names not readable)",
        "（ファイル名を読めない画像 %1 件は表示していません）")
        .arg(count);
}

QString AskMissingFolder(bool japanese, const QString& folder)
{
    return pick(japanese, "The save folder \"%1\" was not found.\nChoose another save folder?",
        "保存フォルダ「%1」が見つかりません。\n別の保存フォルダを選択しますか？")
        .arg(folder);
}

QString QuickTip(bool japanese, const QString& key)
{
    return pick(japanese, "Save the picture into the save folder at once, the live view going on (%1); right click: options, time-lapse",
        "映像を止めずに保存先フォルダへすぐ保存します（%1）、右クリック：設定、タイムラプス")
        .arg(key);
}

QString QuickOptionsItem(bool japanese)
{
    return pick(japanese, "Quick capture options...", "クイック保存の設定...");
}

QString TimeLapseItem(bool japanese)
{
    return pick(japanese, "Time-lapse...", "タイムラプス...");
}

QString Capturing(bool japanese, const QString& fileName)
{
    return pick(japanese, "saving %1", "%1 を保存中").arg(fileName);
}

QString Captured(bool japanese, const QString& fileName)
{
    return pick(japanese, "saved %1", "%1 を保存しました").arg(fileName);
}

QString CaptureBusy(bool japanese, int count)
{
    return pick(japanese, "The picture was not saved: %1 pictures are still being written. Try again in a moment.",
        "画像は保存されませんでした：%1 枚の画像をまだ書き込んでいます。少し待ってからもう一度どうぞ。")
        .arg(count);
}

QString CaptureNotSaved(bool japanese, const QString& fileName)
{
    return pick(japanese, "The picture %1 could not be saved.", "画像 %1 を保存できませんでした。").arg(fileName);
}

QString RecordTip(bool japanese)
{
    return pick(japanese, "Record the live picture as a video (MP4) into the save folder; again to stop; right click: what is recorded",
        "ライブ映像を動画（MP4）として保存先フォルダに録画します。もう一度押すと停止、右クリック：録画内容");
}

QString RecordNeedsLive(bool japanese)
{
    return pick(japanese, "Recording needs the live view: press LIVE first.", "録画にはライブ映像が必要です。先にライブ映像を開始してください。");
}

QString RecordNotStarted(bool japanese, const QString& why)
{
    return pick(japanese, "The recording could not be started: %1", "録画を開始できませんでした：%1").arg(why);
}

QString RecordFailed(bool japanese, const QString& why)
{
    return pick(japanese, "The recording stopped: its file could not be written (%1). What was recorded until then plays.",
        "録画を停止しました：ファイルに書き込めませんでした（%1）。それまでの録画は再生できます。")
        .arg(why);
}

QString Recording(bool japanese, int64_t seconds, int64_t bytes, uint64_t dropped)
{
    const QString time = QString::asprintf("%02lld:%02lld", static_cast<long long>(seconds / 60),
        static_cast<long long>(seconds % 60));
    const QString size = QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
    QString text = pick(japanese, "\u25CF REC %1  %2 MB", "\u25CF 録画 %1  %2 MB").arg(time, size);
    if (dropped > 0)
        text += pick(japanese, ", %1 frames dropped", "、%1 フレーム欠落").arg(dropped);
    return text;
}

QString RecordWholeFrame(bool japanese)
{
    return pick(japanese, "Record the whole frame", "フレーム全体を録画");
}

QString RecordView(bool japanese)
{
    return pick(japanese, "Record what the view shows", "表示中の範囲を録画");
}

QString RecordWithLines(bool japanese)
{
    return pick(japanese, "With the measuring lines and the scale bar", "計測ラインとスケールを含める");
}

QString FromFile(bool japanese, const QString& name)
{
    const QString fromFile = pick(japanese, "from file", "ファイルから");
    return name.isEmpty() ? fromFile : QStringLiteral("%1 (%2)").arg(name, fromFile);
}

QString TagsIgnored(bool japanese, const QStringList& what)
{
    return pick(japanese, "The picture was opened without what could not be read in it: %1.",
        "画像は開きましたが、読めなかった情報は使いません：%1。")
        .arg(what.join(QStringLiteral(", ")));
}

QList<MenuItem> ThumbnailMenu(bool japanese)
{
    return { { kMenuOpen, pick(japanese, "Open", "開く") }, { kMenuRemove, pick(japanese, "Remove", "削除") },
        { kMenuTrash, pick(japanese, "Trash box", "ゴミ箱") } };
}

} // namespace FileTexts
