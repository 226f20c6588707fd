// The build leaves both manuals beside the executables, as whole multi-page PDFs.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <string>

namespace {

QByteArray readBuilt(const char* name) {
    QFile f(QStringLiteral(KT6_BIN_DIR "/") + QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

int pageObjects(const QByteArray& pdf) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return static_cast<int>(QString::fromLatin1(pdf).count(page));
}

class ManualsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ManualsTest, manual_isACompletePdfOfSeveralPages) {
    const QByteArray pdf = readBuilt(GetParam());
    ASSERT_FALSE(pdf.isEmpty()) << GetParam() << " not built in " << KT6_BIN_DIR;
    EXPECT_TRUE(pdf.startsWith("%PDF-")) << GetParam();
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF")) << GetParam() << " is cut short";
    // Title page with the picture, then the chapters: well above an empty document.
    EXPECT_GT(pdf.size(), 50 * 1024) << GetParam();
    EXPECT_GE(pageObjects(pdf), 6) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ManualsTest, ::testing::Values("manual.pdf", "manuale.pdf"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             return param.index == 0 ? std::string("english")
                                                     : std::string("italian");
                         });

}  // namespace
