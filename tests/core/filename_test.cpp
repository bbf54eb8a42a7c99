// Names offered for output files: text from picture data never makes a path or a name with control
// characters in it.

#include "filename.h"

#include <gtest/gtest.h>

TEST(SuggestedFileName, SlashesControlsAndDotNamesBecomeDashes) {
    const struct {
        QString text;
        QString name;
    } cases[] = {
        {"07/10-20/2024 Summer Holiday (Event) (12 pictures)", "07-10-20-2024 Summer Holiday (Event) (12 pictures)"},
        {"IMG_0001.jpg", "IMG_0001.jpg"},
        {"Line one\nline\ttwo\r", "Line one-line-two-"},
        {QString("bell") + QChar(0x07) + QChar(0x7f) + QChar(0x9b), "bell---"},
        {"/", "-"},
        {".", "-"},
        {"..", "--"},
        {"..jpg", "..jpg"},
        {"Zoë's Café: \\ * ? \"ok\"", "Zoë's Café: \\ * ? \"ok\""},  // legal in a Linux name: kept
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(SuggestedFileName(c.text), c.name) << c.text.toStdString();
}
