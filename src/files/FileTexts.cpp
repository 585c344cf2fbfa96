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
        pick(japanese, "Jpeg File(*.jpg)", "JPEGファイル(*.jpg)") };
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

QList<MenuItem> ThumbnailMenu(bool japanese)
{
    return { { kMenuOpen, pick(japanese, "Open", "開く") }, { kMenuRemove, pick(japanese, "Remove", "削除") },
        { kMenuTrash, pick(japanese, "Trash box", "ゴミ箱") } };
}

} // namespace FileTexts
