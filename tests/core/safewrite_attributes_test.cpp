// A safe write keeps what the file was besides its bytes: owner, group, permissions, extended
// attributes, ACL, hard links and times. Where a new file could not carry them, the old one is
// rewritten in place and keeps its inode.

#include "safewrite.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <vector>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using testsupport::readAll;
using testsupport::writeAll;

namespace {

WriteResult writeBytes(const QString& path, const QByteArray& bytes, const SafeWriteOptions& options = {}) {
    return safeWrite(path, [&](QFile& out) { return out.write(bytes) == bytes.size(); }, {}, options);
}

struct stat statOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

// Hidden entries of the folder: temporaries and journals that must not stay behind.
QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden | QDir::System);
}

std::optional<QByteArray> attribute(const QString& path, const char* name) {
    char value[1024];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    if (n < 0) return std::nullopt;
    return QByteArray(value, n);
}

bool setAttribute(const QString& path, const char* name, const QByteArray& value) {
    return ::setxattr(QFile::encodeName(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

// A POSIX ACL as the kernel stores it in system.posix_acl_access: a version, then (tag, permissions,
// id) entries sorted by tag and id.
QByteArray aclBlob(std::initializer_list<std::array<uint32_t, 3>> entries) {
    QByteArray blob;
    const auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) blob.append(char((value >> (8 * i)) & 0xFF));
    };
    put(2, 4);
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(e[2], 4);
    }
    return blob;
}
constexpr uint32_t kUserObj = 0x01, kUser = 0x02, kGroupObj = 0x04, kMask = 0x10, kOther = 0x20, kNoId = ~0u;

bool isRoot() { return ::geteuid() == 0; }

// Acts as another user for its lifetime: effective ids only, so the superuser's are restored after.
class ActingAs {
public:
    ActingAs(uid_t uid, gid_t gid) : groups_(size_t(std::max(0, ::getgroups(0, nullptr)))) {
        groups_.resize(size_t(std::max(0, ::getgroups(int(groups_.size()), groups_.data()))));
        ok_ = ::setgroups(0, nullptr) == 0 && ::setegid(gid) == 0 && ::seteuid(uid) == 0;
    }
    ~ActingAs() {
        ::seteuid(0);
        ::setegid(0);
        ::setgroups(groups_.size(), groups_.data());
    }
    bool ok() const { return ok_; }

private:
    std::vector<gid_t> groups_;
    bool ok_ = false;
};

class SafeWriteAttributes : public ::testing::Test {
protected:
    testsupport::SandBox box;
    const QByteArray fresh = QByteArray("new content ") + QByteArray(5000, 'x');
};

}  // namespace

TEST_F(SafeWriteAttributes, AnotherUsersFileKeepsOwnerGroupAndPermissions) {
    if (!isRoot()) GTEST_SKIP() << "only the superuser can make files of another user";
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    const QByteArray native = QFile::encodeName(path);
    ASSERT_EQ(::chown(native.constData(), 4242, 4343), 0);
    ASSERT_EQ(::chmod(native.constData(), 02640), 0);  // with a set-id bit, which a change of owner clears
    const struct stat before = statOf(path);

    ASSERT_TRUE(writeBytes(path, fresh));
    const struct stat after = statOf(path);
    EXPECT_EQ(readAll(path), fresh);
    EXPECT_EQ(after.st_uid, 4242u);
    EXPECT_EQ(after.st_gid, 4343u);
    EXPECT_EQ(after.st_mode & 07777, 02640u);
    // The superuser can give the new file away, so it took the old one's place whole.
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_TRUE(leftovers(box.path()).isEmpty()) << leftovers(box.path()).join(' ').toStdString();
}

TEST_F(SafeWriteAttributes, ExtendedAttributesAndAclSurvive) {
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    if (!setAttribute(path, "user.snaplore.comment", "kept") && (errno == ENOTSUP || errno == EOPNOTSUPP))
        GTEST_SKIP() << "this file system keeps no extended attributes";
    ASSERT_TRUE(setAttribute(path, "user.snaplore.empty", {}));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    // user rw, user 1234 r, group r, mask rw, other none: the permissions' group bits become the mask.
    const QByteArray acl = aclBlob({{kUserObj, 6, kNoId}, {kUser, 4, 1234}, {kGroupObj, 4, kNoId}, {kMask, 6, kNoId},
                                    {kOther, 0, kNoId}});
    const bool haveAcl = setAttribute(path, "system.posix_acl_access", acl);
    const std::optional<QByteArray> aclBefore = attribute(path, "system.posix_acl_access");
    if (haveAcl) {
        ASSERT_TRUE(aclBefore.has_value());
    }
    const mode_t modeBefore = statOf(path).st_mode & 07777;

    ASSERT_TRUE(writeBytes(path, fresh));
    EXPECT_EQ(readAll(path), fresh);
    EXPECT_EQ(attribute(path, "user.snaplore.comment"), QByteArray("kept"));
    EXPECT_EQ(attribute(path, "user.snaplore.empty"), QByteArray());
    EXPECT_EQ(attribute(path, "system.posix_acl_access"), aclBefore);
    EXPECT_EQ(statOf(path).st_mode & 07777, modeBefore);
    if (!haveAcl) GTEST_SKIP() << "ACLs are not kept here; the other attributes were checked";
}

// A folder's default ACL gives every new file an ACL; the file replaced had none, and must not get one.
TEST_F(SafeWriteAttributes, NoAclIsGainedFromTheFolder) {
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    const QByteArray folderDefault = aclBlob(
        {{kUserObj, 7, kNoId}, {kUser, 7, 1234}, {kGroupObj, 5, kNoId}, {kMask, 7, kNoId}, {kOther, 5, kNoId}});
    if (!setAttribute(box.path(), "system.posix_acl_default", folderDefault))
        GTEST_SKIP() << "no ACLs on this file system: " << std::strerror(errno);
    ASSERT_FALSE(attribute(path, "system.posix_acl_access").has_value());

    ASSERT_TRUE(writeBytes(path, fresh));
    EXPECT_EQ(readAll(path), fresh);
    EXPECT_FALSE(attribute(path, "system.posix_acl_access").has_value());
    EXPECT_EQ(statOf(path).st_mode & 07777, 0644u);
}

// Other names of the file see the new content; the file keeps its inode, link count and times.
TEST_F(SafeWriteAttributes, HardLinkedFileIsRewrittenInPlace) {
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    QDir(box.path()).mkdir("elsewhere");
    const QString other = box.filePath("elsewhere/same.jpg");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    const struct timespec old[2] = {{1000000000, 123456789}, {1100000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, 0), 0);
    const struct stat before = statOf(path);

    // Both shorter and longer than the old content: the file is cut to the new length.
    for (const QByteArray& content : {QByteArray(40000, 'L'), QByteArray("short")}) {
        ASSERT_TRUE(writeBytes(path, content));
        EXPECT_EQ(readAll(path), content);
        EXPECT_EQ(readAll(other), content);
        const struct stat after = statOf(path);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_nlink, 2u);
        EXPECT_EQ(after.st_mtim.tv_sec, old[1].tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, old[1].tv_nsec);
        EXPECT_TRUE(leftovers(box.path()).isEmpty()) << leftovers(box.path()).join(' ').toStdString();
    }
}

// A writer that may write a file but not give a new one its owner (any user but the superuser, on
// another user's file) rewrites it in place: owner, group, attributes and inode stay.
TEST_F(SafeWriteAttributes, FileTheWriterCannotGiveAwayIsRewrittenInPlace) {
    if (!isRoot()) GTEST_SKIP() << "needs the superuser to act as two users";
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    const QByteArray native = QFile::encodeName(path);
    ASSERT_EQ(::chmod(QFile::encodeName(box.path()).constData(), 0777), 0);
    ASSERT_EQ(::chown(native.constData(), 4242, 4343), 0);
    ASSERT_EQ(::chmod(native.constData(), 0666), 0);
    const bool haveAttribute = setAttribute(path, "user.snaplore.comment", "kept");
    const struct stat before = statOf(path);

    WriteResult result;
    QString checkedPath;
    {
        ActingAs nobody(65534, 65534);
        ASSERT_TRUE(nobody.ok()) << std::strerror(errno);
        result = safeWrite(
            path, [&](QFile& out) { return out.write(fresh) == fresh.size(); },
            [&](const QString& temp) -> WriteResult {
                checkedPath = temp;
                return readAll(temp) == fresh ? WriteResult{} : WriteResult{WriteError::VerifyFailed, temp};
            });
    }
    ASSERT_TRUE(result) << describe(result).toStdString();
    EXPECT_FALSE(checkedPath.isEmpty());
    const struct stat after = statOf(path);
    EXPECT_EQ(readAll(path), fresh);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, 4242u);
    EXPECT_EQ(after.st_gid, 4343u);
    EXPECT_EQ(after.st_mode & 07777, 0666u);
    if (haveAttribute) {
        EXPECT_EQ(attribute(path, "user.snaplore.comment"), QByteArray("kept"));
    }
    EXPECT_TRUE(leftovers(box.path()).isEmpty()) << leftovers(box.path()).join(' ').toStdString();
}

TEST_F(SafeWriteAttributes, BatchRewritesLinkedMembersInPlaceAtCommit) {
    const QString linked = box.copy(testsupport::dataPath("Canon_40D.jpg"));
    const QString plain = box.copy(testsupport::dataPath("iptc_fields.jpg"));
    const QString otherName = box.filePath("other-name.jpg");
    ASSERT_EQ(::link(QFile::encodeName(linked).constData(), QFile::encodeName(otherName).constData()), 0);
    const QByteArray linkedBefore = readAll(linked);
    const QByteArray plainBefore = readAll(plain);
    const ino_t inode = statOf(linked).st_ino;

    SafeWriteBatch batch;
    SafeWriteOptions options;
    options.batch = &batch;
    ASSERT_TRUE(writeBytes(linked, "linked " + fresh, options));
    ASSERT_TRUE(writeBytes(plain, "plain " + fresh, options));
    EXPECT_EQ(readAll(linked), linkedBefore);
    EXPECT_EQ(readAll(plain), plainBefore);

    const std::vector<SafeWriteBatch::Outcome> outcomes = batch.commit();
    ASSERT_EQ(outcomes.size(), 2u);
    for (const auto& o : outcomes) EXPECT_TRUE(o.result) << describe(o.result).toStdString();
    EXPECT_EQ(readAll(linked), "linked " + fresh);
    EXPECT_EQ(readAll(otherName), "linked " + fresh);
    EXPECT_EQ(statOf(linked).st_ino, inode);
    EXPECT_EQ(statOf(linked).st_nlink, 2u);
    EXPECT_EQ(readAll(plain), "plain " + fresh);
    EXPECT_TRUE(leftovers(box.path()).isEmpty()) << leftovers(box.path()).join(' ').toStdString();
}
