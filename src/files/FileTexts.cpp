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
    return pick(japanese, "Save the picture into the save folder at once, the live view going on (%1); right click: options",
        "映像を止めずに保存先フォルダへすぐ保存します（%1）、右クリック：設定")
        .arg(key);
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
