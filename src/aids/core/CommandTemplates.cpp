#include "aids/core/CommandTemplates.h"

namespace velkan {

const std::vector<CommandTemplate> &commandTemplates()
{
    // Angle brackets in a help line's first line mark optional parameters.
    static const std::vector<CommandTemplate> kTemplates{
        {"WMODE",
         32772,
         "@WMODE(23,0);",
         {"@WMODE(n<,mode>)", "n:5(16分音符)/11(8)/23(4)  mode:0(行)/1(文字)",
          "mode:1の時　'_' １タイミング待つ  '|' これで囲まれた文字列を１タイミングで表示"},
         false},
        {"OFFSET",
         32786,
         "@OFFSET(10);",
         {"@OFFSET(nnn)", "@WAIT() で指定する小節番号に対して @OFFSET()で指定した数値を加算"},
         false},
        {"WAIT",
         32773,
         "@WAIT(123,96);",
         {"@WAIT(bar,<step>)", "bar:小節　step:0(0/4)/48(1/4)/96(2/4)/144(3/4音符)"},
         false},
        {"LOCATE", 32774, "@LOCATE(5;20);", {"@LOCATE(縦y;横x)", "縦y:1-25 横x:1-80"}, false},
        {"COLOR",
         32775,
         "@COLOR(32);",
         {"@COLOR(c)", "c:30(黒) 31(赤) 32(緑) 33(黄) 34(青) 35(紫) 36(水) 37(白) 40-47リバース",
          "c:0(既定の属性) 4(アンダーライン) 5(ブリンク) 7(リバース)"},
         false},
        {"TON",
         32787,
         "@TON(1);",
         {"@TON(sw)", "sw=0:OFF　 1:ON 　2:40桁表示モード(横倍角)"},
         false},
        {"TCLS",
         32776,
         "@TCLS(1,1,80,25,0,32);",
         {"@TCLS(x1,y1,x2,y2,color,char)", "x1,y1,x2,y2で指定した矩形範囲を消去(x:1-80/y:1-25)",
          "color は消去文字の色(通常は黒=0)　charは消去後に埋められる文字(通常は空白=32)"},
         false},
        {"ESC",
         32788,
         "@ESC(2J);",
         {"@ESC(str)", "ESCコード(str)を文中に埋め込む @ESC(2J) とすれば画面消去"},
         false},
        {"SCROLL",
         32777,
         "@SCROLL(10,6,69,18,0,0,32);",
         {"@SCROLL(x1,y1,x2,y2,mode,color,char)",
          "x1,y1,x2,y2:矩形範囲指定 mode:0(上) 1(下) 2(右) 3(左)にスクロール",
          "color,char はスクロールして空いた部分を埋める色と文字の指定",
          "デフォルト:color=0(黒), char=32(space)"},
         false},
        {"GMODE",
         32778,
         "@GMODE(15);",
         {"@GMODE(sw)", "特定のグラフィックプレーンへの書込みの禁止／許可を指定",
          "sw値のbit0～3がP0～P3の各プレーンに対応し、1の時書込み可、0の時書込み禁止",
          "このbit0～3の値(00h～0Fh)を 0～15 の十進数に変換して sw の値を指定"},
         true},
        {"GSCREEN",
         32779,
         "@GSCREEN(0,0);",
         {"@GSCREEN(act,dsp)", "act(書込を行う画面) dsp(表示される画面) 0:表、1:裏"},
         false},
        {"GLINE",
         32780,
         "@GLINE(0,0,639,399,7,2,7);",
         {"@GLINE(X1,Y1,X2,Y2,P1,SW,P2)", "X1,Y1:描画開始点  X2,Y2:描画終了点  P1:描画色(0-15)",
          "SW:0(直線)/1(四角形)/2(四角形を塗りつぶす)",
          "P2:SW=0/1の時はラインスタイル　SW=2の時は塗りつぶしの色(0-15)"},
         false},
        {"GCIRCLE",
         32781,
         "@GCIRCLE(319,199,100,15,2,15);",
         {"@GCIRCLE(X,Y,R,P1,SW,P2)", "X,Y:中心点  R:半径  P1:描画色(0-15)",
          "SW=0/1(円周のみ描画) =2 塗りつぶしの色(0-15)"},
         false},
        {"GON",
         32789,
         "@GON(1);",
         {"@GON(sw)", "グラフィック表示のＯＮ(1)／ＯＦＦ(0)  初期状態は @GON(1)"},
         false},
        {"GCLS",
         32790,
         "@GCLS(0);",
         {"@GCLS(sw)", "グラフィックのアクティブ画面を消去します。  swは消去するﾌﾟﾚｰﾝを指定",
          "bit0=1:BLUE  ﾌﾟﾚｰﾝ(P0)  bit1=1:RED   ﾌﾟﾚｰﾝ(P1)",
          "bit2=1:GREEN ﾌﾟﾚｰﾝ(P2)  bit3=1:E     ﾌﾟﾚｰﾝ(P3) をクリア"},
         false},
        {"GMOVE",
         32782,
         "@GMOVE(x1,y1,x2,y2,xd,yd<,vs><,vd><,sw>);",
         {"@GMOVE(x1,y1,x2,y2,xd,yd<,vs><,vd><,sw>)", "x1,y1,x2,y2 の矩形をxd,ydの座標にコピー",
          "vs コピー元のVRAMバンク 0:表  1:裏  vd コピー先のVRAMバンク 0:表  1:裏",
          "sw 0:コピー  1:交換   vs,vd,sw 省略時はすべて0とみなす"},
         false},
        {"PAL",
         32783,
         "",
         {"@PAL(rgb1,rgb2･･･rgb16)  @PAL(#p,rgb1,rgb2･･･rgb16)  @PALREV(p)",
          "#p 0:カレント 1-16:汎用  17:MAG()",
          "@PALREV(p)はpで指定するパレットメモリの値を反転させます"},
         true},
        {"FADE",
         32784,
         "@FADE(3,2,24);",
         {"@FADE(p1,p2<,speed>)", "p1からp2 のパレットメモリへ変化させます",
          "speed=0  の場合は即座にp2へ切換わり、p1の指定は関係なくなります",
          "speed>=1 の場合は指定値の間隔で変化しspeed=48で４分音符のタイミングで変化"},
         false},
        {"MAG",
         32785,
         "@MAG(abc.mag,0,0,1,1);",
         {"@MAG(file_name,x,y,s,p)",
          "x,y: 表示開始ポジションで、0,0～639,399 の範囲で指定(8ドット単位)",
          "s  : 縮小率で1-16の範囲で指定(s=2とすると縦横それぞれ２分の１の 縮小表示)",
          "p  : 読み込みスタイル(0:ピクセル＋パレット 1:ピクセルだけ 2:パレットだけ)"},
         false},
    };
    return kTemplates;
}

const CommandTemplate *findCommandTemplate(int commandId)
{
    for (const CommandTemplate &entry : commandTemplates()) {
        if (entry.commandId == commandId)
            return &entry;
    }
    return nullptr;
}

std::string helpText(const CommandTemplate &entry)
{
    std::string text;
    for (std::size_t i = 0; i < entry.helpLines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += entry.helpLines[i];
    }
    return text;
}

std::string paletteTemplateLine(bool accepted, const PaletteColour &colour)
{
    return accepted ? backgroundPaletteLine(colour) : std::string(kDefaultPaletteLine);
}

std::string templateLineFor(const CommandTemplate &entry, bool paletteAccepted,
                            const PaletteColour &colour)
{
    if (buildsFromPalette(entry))
        return paletteTemplateLine(paletteAccepted, colour);
    return std::string(entry.templateLine);
}

} // namespace velkan
