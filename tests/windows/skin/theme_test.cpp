// The theme as built in the unit-test prefix (whichever face it has there;
// the end-to-end theme test covers both branches), and the one theTheme of
// this test program.
#include "skin/theme.h"

#include "base/wide.h"

#include <gtest/gtest.h>

CTheme theTheme;

namespace {

TEST(Theme, FontsFollowTheChoiceWithTheFixedValues) {
  const HFONT fonts[8] = {theTheme.m_fontText.get(),  theTheme.m_fontButton.get(), theTheme.m_fontUnderline.get(),
                          theTheme.m_fontTitle.get(), theTheme.m_fontLarge.get(),  theTheme.m_fontMedium.get(),
                          theTheme.m_fontHeavy.get(), theTheme.m_fontBold.get()};
  EXPECT_EQ(theTheme.m_choice.face, ChooseThemeFonts(theTheme.m_arrFontNames).face);
  EXPECT_FALSE(theTheme.m_arrFontNames.empty());
  for (int n = 0; n < 8; ++n) {
    LOGFONTW lf = {};
    ASSERT_EQ(::GetObjectW(fonts[n], sizeof lf, &lf), static_cast<int>(sizeof lf)) << n;
    EXPECT_EQ(lf.lfHeight, theTheme.m_choice.fonts[n].height) << n;
    EXPECT_EQ(lf.lfWeight, theTheme.m_choice.fonts[n].weight) << n;
    EXPECT_EQ(lf.lfUnderline != 0, n == 2) << n;
    EXPECT_EQ(AsU16(lf.lfFaceName), Wide(theTheme.m_choice.face)) << n;
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfEscapement, 0);
    EXPECT_EQ(lf.lfOrientation, 0);
    EXPECT_EQ(lf.lfItalic, 0);
    EXPECT_EQ(lf.lfStrikeOut, 0);
    EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(lf.lfPitchAndFamily, FF_SWISS);
  }
  EXPECT_EQ(theTheme.m_clrWhite, RGB(255, 255, 255));
  EXPECT_EQ(theTheme.m_clrBlack, RGB(0, 0, 0));
  EXPECT_EQ(theTheme.m_clrEditFrame, RGB(140, 140, 140));
}

}  // namespace
