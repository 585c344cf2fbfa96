// The trash box with the user's data folder pointed at a temporary place: the file lands in the trash with
// its .trashinfo, and the data folder is made when missing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/Trash.h"

namespace {

// Points XDG_DATA_HOME at a folder for the life of the object.
class DataHome {
public:
    explicit DataHome(const QString& folder)
        : m_Old(qgetenv("XDG_DATA_HOME"))
        , m_Had(qEnvironmentVariableIsSet("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder));
    }
    ~DataHome()
    {
        if (m_Had)
            qputenv("XDG_DATA_HOME", m_Old);
        else
            qunsetenv("XDG_DATA_HOME");
    }

private:
    QByteArray m_Old;
    bool m_Had;
};

} // namespace

TEST(Trash, MovesTheFileIntoTheTrashWithItsInfo)
{
    QTemporaryDir dir;
    // The data folder does not exist yet: it is made, and the file goes into its trash.
    const QString dataHome = dir.filePath("home/.local/share");
    const DataHome env(dataHome);
    const QString path = dir.filePath("picture.bmp");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("BMpicture");
    f.close();

    QString trashed;
    ASSERT_TRUE(MoveToTrash(path, &trashed));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(trashed).absoluteFilePath(), QDir(dataHome).filePath("Trash/files/picture.bmp"));
    QFile back(trashed);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("BMpicture"));
    QFile info(QDir(dataHome).filePath("Trash/info/picture.bmp.trashinfo"));
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QByteArray text = info.readAll();
    EXPECT_TRUE(text.startsWith("[Trash Info]")) << text.constData();
    EXPECT_TRUE(text.contains("Path=" + QFile::encodeName(path))) << text.constData();

    // Nothing to move: no success.
    EXPECT_FALSE(MoveToTrash(path));
    EXPECT_FALSE(MoveToTrash(QString()));
}
