#pragma once

// Command and control ids of the main form, its menus and accelerators.
namespace velkan::cmd {

enum : int {
    MidiLoad = 1000,
    LyricsLoad = 1001,
    WrdSave = 1002,
    ScriptListCtl = 1003,
    LineEditCtl = 1004,
    HelpPanelCtl = 1005,
    BarBox = 1006,
    BeatBox = 1007,
    Start = 1010,
    Pause = 1011,
    End = 1012,
    Change = 1013,
    Delete = 1014,
    Overwrite = 1015,
    Insert = 1016,
    PositionBar = 1030,
    DragBar = 1031,
    BarCount = 1032,
    FileGroup = 1054,
    SpeedBox = 1060,

    LyricLayout = 32771,
    TemplateFirst = 32772,
    TemplateLast = 32790,
    TimingOffset = 32791,
    LyricReveal = 32792,
    Help = 32794,
    PlayerPreview = 32795,
    ScriptCheck = 32796,
    StartFromLine = 32797,
    RetapRange = 32798,
    Slower = 32799,
    Faster = 32800,
    NudgeEarlier = 32801,
    NudgeLater = 32802,
    GridQuarter = 32803,
    GridEighth = 32804,
    GridSixteenth = 32805,
    GridStep = 32806,
    TapLatency = 32807,
    Preferences = 32808,
    KaraokeLyrics = 32809,

    About = 57664,
    Exit = 57665,
    ToggleStatusBar = 59393,
};

} // namespace velkan::cmd
