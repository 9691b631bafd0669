#include "aids/core/CommandTemplates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkan {
namespace {

// The menu as the author sees it, separators included ("-"). PAL has no fixed
// template (nullptr): it is built from the palette colour.
struct ExpectedItem {
    const char *menuText;
    int commandId;
    const char *templateLine;
    const char *helpText;
};

const ExpectedItem kExpectedMenu[] = {
    {"WMODE", 32772, "@WMODE(23,0);",
     "@WMODE(n<,mode>)"
     "\r\n"
     "n:5(16分音符)/11(8)/23(4)  mode:0(行)/1(文字)"
     "\r\n"
     "mode:1の時　'_' １タイミング待つ  '|' これで囲まれた文字列を１タイミングで表示"},
    {"OFFSET", 32786, "@OFFSET(10);",
     "@OFFSET(nnn)"
     "\r\n"
     "@WAIT() で指定する小節番号に対して @OFFSET()で指定した数値を加算"},
    {"WAIT", 32773, "@WAIT(123,96);",
     "@WAIT(bar,<step>)"
     "\r\n"
     "bar:小節　step:0(0/4)/48(1/4)/96(2/4)/144(3/4音符)"},
    {"LOCATE", 32774, "@LOCATE(5;20);",
     "@LOCATE(縦y;横x)"
     "\r\n"
     "縦y:1-25 横x:1-80"},
    {"COLOR", 32775, "@COLOR(32);",
     "@COLOR(c)"
     "\r\n"
     "c:30(黒) 31(赤) 32(緑) 33(黄) 34(青) 35(紫) 36(水) 37(白) 40-47リバース"
     "\r\n"
     "c:0(既定の属性) 4(アンダーライン) 5(ブリンク) 7(リバース)"},
    {"TON", 32787, "@TON(1);",
     "@TON(sw)"
     "\r\n"
     "sw=0:OFF　 1:ON 　2:40桁表示モード(横倍角)"},
    {"TCLS", 32776, "@TCLS(1,1,80,25,0,32);",
     "@TCLS(x1,y1,x2,y2,color,char)"
     "\r\n"
     "x1,y1,x2,y2で指定した矩形範囲を消去(x:1-80/y:1-25)"
     "\r\n"
     "color は消去文字の色(通常は黒=0)　charは消去後に埋められる文字(通常は空白=32)"},
    {"ESC", 32788, "@ESC(2J);",
     "@ESC(str)"
     "\r\n"
     "ESCコード(str)を文中に埋め込む @ESC(2J) とすれば画面消去"},
    {"SCROLL", 32777, "@SCROLL(10,6,69,18,0,0,32);",
     "@SCROLL(x1,y1,x2,y2,mode,color,char)"
     "\r\n"
     "x1,y1,x2,y2:矩形範囲指定 mode:0(上) 1(下) 2(右) 3(左)にスクロール"
     "\r\n"
     "color,char はスクロールして空いた部分を埋める色と文字の指定"
     "\r\n"
     "デフォルト:color=0(黒), char=32(space)"},
    {"-", 0, "", ""},
    {"GMODE", 32778, "@GMODE(15);",
     "@GMODE(sw)"
     "\r\n"
     "特定のグラフィックプレーンへの書込みの禁止／許可を指定"
     "\r\n"
     "sw値のbit0～3がP0～P3の各プレーンに対応し、1の時書込み可、0の時書込み禁止"
     "\r\n"
     "このbit0～3の値(00h～0Fh)を 0～15 の十進数に変換して sw の値を指定"},
    {"GSCREEN", 32779, "@GSCREEN(0,0);",
     "@GSCREEN(act,dsp)"
     "\r\n"
     "act(書込を行う画面) dsp(表示される画面) 0:表、1:裏"},
    {"GLINE", 32780, "@GLINE(0,0,639,399,7,2,7);",
     "@GLINE(X1,Y1,X2,Y2,P1,SW,P2)"
     "\r\n"
     "X1,Y1:描画開始点  X2,Y2:描画終了点  P1:描画色(0-15)"
     "\r\n"
     "SW:0(直線)/1(四角形)/2(四角形を塗りつぶす)"
     "\r\n"
     "P2:SW=0/1の時はラインスタイル　SW=2の時は塗りつぶしの色(0-15)"},
    {"GCIRCLE", 32781, "@GCIRCLE(319,199,100,15,2,15);",
     "@GCIRCLE(X,Y,R,P1,SW,P2)"
     "\r\n"
     "X,Y:中心点  R:半径  P1:描画色(0-15)"
     "\r\n"
     "SW=0/1(円周のみ描画) =2 塗りつぶしの色(0-15)"},
    {"GON", 32789, "@GON(1);",
     "@GON(sw)"
     "\r\n"
     "グラフィック表示のＯＮ(1)／ＯＦＦ(0)  初期状態は @GON(1)"},
    {"GCLS", 32790, "@GCLS(0);",
     "@GCLS(sw)"
     "\r\n"
     "グラフィックのアクティブ画面を消去します。  swは消去するﾌﾟﾚｰﾝを指定"
     "\r\n"
     "bit0=1:BLUE  ﾌﾟﾚｰﾝ(P0)  bit1=1:RED   ﾌﾟﾚｰﾝ(P1)"
     "\r\n"
     "bit2=1:GREEN ﾌﾟﾚｰﾝ(P2)  bit3=1:E     ﾌﾟﾚｰﾝ(P3) をクリア"},
    {"GMOVE", 32782, "@GMOVE(x1,y1,x2,y2,xd,yd<,vs><,vd><,sw>);",
     "@GMOVE(x1,y1,x2,y2,xd,yd<,vs><,vd><,sw>)"
     "\r\n"
     "x1,y1,x2,y2 の矩形をxd,ydの座標にコピー"
     "\r\n"
     "vs コピー元のVRAMバンク 0:表  1:裏  vd コピー先のVRAMバンク 0:表  1:裏"
     "\r\n"
     "sw 0:コピー  1:交換   vs,vd,sw 省略時はすべて0とみなす"},
    {"-", 0, "", ""},
    {"PAL", 32783, nullptr,
     "@PAL(rgb1,rgb2･･･rgb16)  @PAL(#p,rgb1,rgb2･･･rgb16)  @PALREV(p)"
     "\r\n"
     "#p 0:カレント 1-16:汎用  17:MAG()"
     "\r\n"
     "@PALREV(p)はpで指定するパレットメモリの値を反転させます"},
    {"FADE", 32784, "@FADE(3,2,24);",
     "@FADE(p1,p2<,speed>)"
     "\r\n"
     "p1からp2 のパレットメモリへ変化させます"
     "\r\n"
     "speed=0  の場合は即座にp2へ切換わり、p1の指定は関係なくなります"
     "\r\n"
     "speed>=1 の場合は指定値の間隔で変化しspeed=48で４分音符のタイミングで変化"},
    {"MAG", 32785, "@MAG(abc.mag,0,0,1,1);",
     "@MAG(file_name,x,y,s,p)"
     "\r\n"
     "x,y: 表示開始ポジションで、0,0～639,399 の範囲で指定(8ドット単位)"
     "\r\n"
     "s  : 縮小率で1-16の範囲で指定(s=2とすると縦横それぞれ２分の１の 縮小表示)"
     "\r\n"
     "p  : 読み込みスタイル(0:ピクセル＋パレット 1:ピクセルだけ 2:パレットだけ)"},
};

TEST(CommandTemplates, MenuMatchesTheAuthorsReferenceItemByItem)
{
    const std::vector<CommandTemplate> &items = commandTemplates();
    ASSERT_EQ(items.size(), 19u);
    ASSERT_EQ(kCommandTemplateCount, 19);
    std::size_t item = 0;
    bool separatorPending = false;
    for (const ExpectedItem &expected : kExpectedMenu) {
        if (std::string(expected.menuText) == "-") {
            separatorPending = true;
            continue;
        }
        ASSERT_LT(item, items.size());
        const CommandTemplate &entry = items[item++];
        SCOPED_TRACE(expected.menuText);
        EXPECT_EQ(entry.menuText, expected.menuText);
        EXPECT_EQ(entry.commandId, expected.commandId);
        EXPECT_EQ(entry.separatorBefore, separatorPending);
        separatorPending = false;
        if (expected.templateLine) {
            EXPECT_FALSE(buildsFromPalette(entry));
            EXPECT_EQ(templateLineFor(entry, true, PaletteColour{1, 2, 3}), expected.templateLine);
        } else {
            EXPECT_TRUE(buildsFromPalette(entry));
        }
        EXPECT_EQ(helpText(entry), expected.helpText);
        EXPECT_EQ(findCommandTemplate(expected.commandId), &entry);
    }
    EXPECT_EQ(item, items.size());
}

TEST(CommandTemplates, HelpTextJoinsWithCrLfAndNoneAtTheEnd)
{
    const CommandTemplate *wait = findCommandTemplate(32773);
    ASSERT_NE(wait, nullptr);
    const std::string text = helpText(*wait);
    EXPECT_EQ(text.find("\r\n"), text.rfind("\r\n")); // exactly one line break
    EXPECT_FALSE(text.ends_with("\r\n"));

    const CommandTemplate single{"X", 1, "", {"only"}, false};
    EXPECT_EQ(helpText(single), "only");
    const CommandTemplate none{"X", 1, "", {}, false};
    EXPECT_EQ(helpText(none), "");
}

TEST(CommandTemplates, UnknownCommandIdFindsNothing)
{
    EXPECT_EQ(findCommandTemplate(32771), nullptr);
    EXPECT_EQ(findCommandTemplate(32791), nullptr);
}

TEST(CommandTemplates, PaletteTemplateAfterOkAndCancel)
{
    const CommandTemplate *pal = findCommandTemplate(kPaletteCommandId);
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(pal->menuText, "PAL");

    struct Case {
        bool accepted;
        PaletteColour colour;
        const char *line;
    };
    const Case cases[] = {
        {true,
         {15, 8, 0},
         "@PAL(F80,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);"},
        {true, {0, 0, 0}, "@PAL(000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);"},
        {true,
         {10, 11, 12},
         "@PAL(ABC,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);"},
        {false,
         {15, 8, 0},
         "@PAL(000,700,070,007,770,707,077,777,ccc,f00,0f0,00f,ff0,f0f,0ff,fff);"},
        {false,
         {0, 0, 0},
         "@PAL(000,700,070,007,770,707,077,777,ccc,f00,0f0,00f,ff0,f0f,0ff,fff);"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(paletteTemplateLine(c.accepted, c.colour), c.line);
        EXPECT_EQ(templateLineFor(*pal, c.accepted, c.colour), c.line);
    }
}

} // namespace
} // namespace velkan
