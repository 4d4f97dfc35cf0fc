#include "platform/MediaErrors.h"

#include <QHash>

namespace zypo {

static const QHash<int, QString>& table() {
    using namespace mcierr;
    static const QHash<int, QString> t{
        {InvalidDeviceId, QStringLiteral("無効なデバイス ID が使われました。")},
        {UnrecognizedKeyword, QStringLiteral("コマンドに認識できないパラメータがあります。")},
        {UnrecognizedCommand, QStringLiteral("認識できないコマンドです。")},
        {Hardware, QStringLiteral("メディア デバイスにハードウェアの問題があります。")},
        {InvalidDeviceName, QStringLiteral("指定されたデバイスは開かれていないか、認識できません。")},
        {OutOfMemory, QStringLiteral("この操作を行うためのメモリが足りません。")},
        {DeviceOpen, QStringLiteral("デバイス名は既に使われています。")},
        {CannotLoadDriver, QStringLiteral("デバイスのドライバを読み込めません。")},
        {MissingCommandString, QStringLiteral("コマンドが指定されていません。")},
        {BadInteger, QStringLiteral("コマンドの数値が正しくありません。")},
        {FileNotFound,
         QStringLiteral("ファイルが見つかりません。パスとファイル名が正しいか確認してください。")},
        {DeviceNotReady, QStringLiteral("デバイスの準備ができていません。")},
        {Internal, QStringLiteral("メディア デバイスの内部でエラーが発生しました。")},
        {Driver, QStringLiteral("デバイスのドライバでエラーが発生しました。")},
        {ExtensionNotFound, QStringLiteral("ファイルの種類から使うデバイスを決められません。")},
        {OutOfRange, QStringLiteral("指定された値が範囲外です。")},
        {DeviceTypeRequired, QStringLiteral("デバイスの種類を指定してください。")},
        {DuplicateAlias, QStringLiteral("指定された別名は既に使われています。")},
        {MissingDeviceName, QStringLiteral("デバイス名が指定されていません。")},
        {NoClosingQuote, QStringLiteral("コマンドの引用符が閉じられていません。")},
        {InvalidFile,
         QStringLiteral("このファイルは再生できません。ファイルが壊れているか、対応していない形式です。")},
        {NonapplicableFunction, QStringLiteral("このデバイスではその操作はできません。")},
        {FilenameRequired, QStringLiteral("ファイル名が正しくありません。")},
        {ExtraCharacters, QStringLiteral("コマンドの後ろに余分な文字があります。")},
        {DeviceNotInstalled, QStringLiteral("デバイスがインストールされていません。")},
        {WaveOutputsInUse,
         QStringLiteral("音声出力デバイスは使用中です。しばらくしてからやり直してください。")},
        {WaveOutputsUnsuitable,
         QStringLiteral("音声を出力できるデバイスがありません。サウンドの設定を確認してください。")},
        {SeqDivIncompatible, QStringLiteral("MIDI ファイルの時間単位に対応していません。")},
        {SeqPortInUse, QStringLiteral("MIDI 出力ポートは使用中です。")},
        {SeqPortNonexistent, QStringLiteral("指定された MIDI 出力ポートがありません。")},
        {SeqNoMidiPresent,
         QStringLiteral("MIDI を演奏できません。音色ファイル (SoundFont) が見つかりません。")},
        {NoWindow, QStringLiteral("映像を表示するウィンドウがありません。")},
        {CreateWindow, QStringLiteral("映像のウィンドウを作成できません。")},
        {FileRead, QStringLiteral("ファイルを読み込めません。ファイルが壊れているか、アクセスできません。")},
    };
    return t;
}

int mciGetErrorString(std::int32_t error, QString& text) {
    const auto it = table().constFind(error);
    if (it == table().constEnd())
        return 0;
    text = *it;
    return 1;
}

} // namespace zypo
