// Every text the user sees, in one place.
#pragma once

#define TM_TEXT_JUDGE            L"判定"
#define TM_TEXT_JUDGING          L"判定中..."
#define TM_TEXT_INITIALISING     L"初期化中..."
#define TM_TEXT_READY            L"文章を貼り付けるかドラッグ&ドロップしてください"
#define TM_TEXT_INIT_ERROR       L"初期化エラー"
#define TM_TEXT_LOAD_WARNING     L"言語データの読み込みエラーです。\n正常に動作しません。"
#define TM_TEXT_ALWAYS_ON_TOP    L"常に前面に表示"
#define TM_TEXT_TRANSLUCENT      L"半透明表示"
#define TM_TEXT_AUTO             L"ドロップ時に即判定"
#define TM_TEXT_ABOUT_MENU       L"バージョン情報..."
#define TM_CLASS_NAME            L"Tonguemeter Main Window"
#define TM_WINDOW_TITLE          L"Tonguemeter"
