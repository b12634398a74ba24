// Texts the CDDB client shows.  This header is compiled with the execution
// character set CP932 (code page 932), so they are written as they read.
#pragma once

namespace wx {

inline constexpr char kCddbMsgTimeout[] = "受信がタイムアウトしました.";
inline constexpr char kCddbMsgConnectFailed[] = "リモートサーバーへの接続に失敗しました.";
inline constexpr char kCddbMsgNoProxyHost[] = "PROXY用リモートサーバーがみつかりません.";
inline constexpr char kCddbMsgNoHost[] = "リモートサーバーが見つかりません.";
inline constexpr char kCddbMsgRefused[] = "リモートサーバーからクライアントが拒否されました.";
inline constexpr char kCddbMsgServerReport[] = "リモートサーバーが次のように報告しました: \r%s";
inline constexpr char kCddbMsgNoMatch[] = "適合するデータがありません.";
inline constexpr char kCddbMsgServerError[] = "サーバーエラーです.";
inline constexpr char kCddbMsgReadOk[] = "情報を取得に成功しました.";
inline constexpr char kCddbMsgWinsock[] = "Winsockの初期化に失敗しました.";
inline constexpr char kCddbMsgNoSocket[] = "接続準備に失敗しました.";
inline constexpr char kCddbMsgCommFailed[] = "リモートサーバーとの通信に失敗しました.";
inline constexpr char kCddbStatusConnecting[] = "サーバーに接続しています...";
inline constexpr char kCddbStatusQuerying[] = "情報を問い合わせています...";
inline constexpr char kCddbStatusReading[] = "情報を取得しています...";
inline constexpr char kCddbMsgClosed[] = "リモートサーバーが接続を切断しました.";
inline constexpr char kCddbMsgChoiceCancelled[] = "タイトルの選択が取り消されました.";
inline constexpr char kCddbMsgSubmitOk[] = "情報の送信を完了しました.";
inline constexpr char kCddbMsgNotReady[] = "サーバーが準備できていません.";
inline constexpr char kCddbMsgCommandRefused[] = "サーバーに接続を拒否されました.";
inline constexpr char kCddbMsgNoSubmitFile[] = "送信する情報のファイルを開けません.";
inline constexpr char kCddbStatusSending[] = "サーバーにデータを送信しています...";
inline constexpr char kCddbMsgJobFailed[] = "CDDBの処理中にエラーが発生しました.";

}  // namespace wx
