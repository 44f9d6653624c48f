#pragma once
#include <cstdint>

// Ids of the string table that the program's code loads by name (Platform::LoadString),
// each defined here once. They keep their numbers: the built-in texts
// (resources/BuiltInStrings.cpp) and every language pack use them. Strings, menus and
// bitmaps number apart, so only strings live here.
namespace StringId
{
// Program, folders and settings
inline constexpr uint32_t IDS_LOGO_TIP = 135;
inline constexpr uint32_t IDS_CONNECT_CAPTION = 143;
inline constexpr uint32_t IDS_REGISTRY_ROOT = 144;
inline constexpr uint32_t IDS_PRODUCT_KEY = 145; // "Software\Velmor\Veskador 3"
inline constexpr uint32_t IDS_LANGUAGE_PACKS = 161;
inline constexpr uint32_t IDS_HELP_UPGRADE_FILE = 162;
inline constexpr uint32_t IDS_UPGRADE_TOOL = 163;
inline constexpr uint32_t IDS_REGISTRY_WRITE_FAILED = 1000;
inline constexpr uint32_t IDS_UNHANDLED_EXCEPTION = 1004;
inline constexpr uint32_t IDS_DATE_TIME_FORMAT = 1015;
inline constexpr uint32_t IDS_DATE_FORMATS = 1022;
inline constexpr uint32_t IDS_TIME_FORMATS = 1030;
inline constexpr uint32_t IDS_APP_TITLE = 1135;
inline constexpr uint32_t IDS_SAVE_CHANGES = 1142;
inline constexpr uint32_t IDS_UNNAMED = 1171;
inline constexpr uint32_t IDS_STANDARD_CNV_UNUSABLE = 1190;
inline constexpr uint32_t IDS_UNREADABLE_SERIES_KEPT = 1197;
inline constexpr uint32_t IDS_EMPTY_SERIES_NOT_KEPT = 1198;
inline constexpr uint32_t IDS_AND_MORE = 1199;
inline constexpr uint32_t IDS_BAD_FOLDER_NAME = 1200;
inline constexpr uint32_t IDS_FOLDER_EXISTS = 1201;
inline constexpr uint32_t IDS_MANUAL_FILE = 1181;
inline constexpr uint32_t IDS_TAB_OBJECTS = 1182;

// Printing and the exports (1286-1289 are the exports' own messages)
inline constexpr uint32_t IDS_PAGE_OF = 1021;           // "Page %d of %d"
inline constexpr uint32_t IDS_PRINT_CENTRE = 1141;      // "Veskora 3 measurement objects"
inline constexpr uint32_t IDS_PRINT_LEFT = 1143;        // "Velmor"
inline constexpr uint32_t IDS_PRINT_VERSION = 1172;     // "Veskador 3 Version %d.%d.%d.%d"
inline constexpr uint32_t IDS_EXPORT_PREPARING = 1281;
inline constexpr uint32_t IDS_BITMAP_TOO_LARGE = 1282;
inline constexpr uint32_t IDS_CLIPBOARD_FAILED = 1283;
inline constexpr uint32_t IDS_EXPORTING = 1284;         // "Exporting %s ..."
inline constexpr uint32_t IDS_ENCODING_FAILED = 1285;
inline constexpr uint32_t IDS_NOTHING_TO_EXPORT = 1286;
inline constexpr uint32_t IDS_REPLACE_FILES = 1287;     // the files' list for %s
inline constexpr uint32_t IDS_PARTS_DO_NOT_FIT = 1288;
inline constexpr uint32_t IDS_WRITE_FAILED = 1289;
inline constexpr uint32_t IDS_CREATING = 1290;          // "Creating %s ..."
inline constexpr uint32_t IDS_CANNOT_CREATE_FILE = 59306;
// The export dialogs' own button (Cancel is the shared IDS_BUTTON_CANCEL)
inline constexpr uint32_t IDS_EXPORT_BUTTON = 1276;
// The series page: column headings, questions and the status line
inline constexpr uint32_t IDS_COLUMN_NAME = 1011;
inline constexpr uint32_t IDS_COLUMN_TIME = 1012;
inline constexpr uint32_t IDS_COLUMN_TOTAL = 1014;
inline constexpr uint32_t IDS_EXPAND_ALL = 1144;
inline constexpr uint32_t IDS_COLLAPSE_ALL = 1145;
inline constexpr uint32_t IDS_ASK_DELETE_SERIES = 1165;
inline constexpr uint32_t IDS_SELECTED_OBJECTS = 1240;
inline constexpr uint32_t IDS_TOTAL_OBJECTS = 1241;
inline constexpr uint32_t IDS_EXPANDING = 1242;
inline constexpr uint32_t IDS_UPDATING = 1243;
inline constexpr uint32_t IDS_COLUMN_MEAN = 59144;
inline constexpr uint32_t IDS_COLUMN_STDDEV = 59145;
inline constexpr uint32_t IDS_COLUMN_PROBE = 59146;
inline constexpr uint32_t IDS_COLUMN_MATERIAL = 59147;
inline constexpr uint32_t IDS_COLUMN_SCALE = 59148;

// The connection wizard and the device login
inline constexpr uint32_t IDS_TIP_DEVICE_INFO = 21001;
inline constexpr uint32_t IDS_TIP_DEVICE_TYPE = 21002;
inline constexpr uint32_t IDS_TIP_SCAN_ALL_PORTS = 21007;
inline constexpr uint32_t IDS_TIP_IP_ADDRESS = 21008;
inline constexpr uint32_t IDS_TIP_COM_PORT = 21009;
inline constexpr uint32_t IDS_TIP_INTERFACE = 21010;
inline constexpr uint32_t IDS_TIP_STOP_AT_FIRST = 21011;
inline constexpr uint32_t IDS_TIP_FOUND_DEVICES = 21012;
inline constexpr uint32_t IDS_TIP_SEARCH_STATUS = 21013;
inline constexpr uint32_t IDS_LOGIN_UNKNOWN_ERROR = 21014;
inline constexpr uint32_t IDS_EXPRESS_UPDATE = 21015;
inline constexpr uint32_t IDS_CUSTOM_UPDATE = 21016;
inline constexpr uint32_t IDS_LOGIN_NO_SUPER_USER = 21017;
inline constexpr uint32_t IDS_LOGIN_NO_PASSWORD = 21018;
inline constexpr uint32_t IDS_LOGIN_FAILED = 21019;
inline constexpr uint32_t IDS_SEARCH_NONE_FOUND = 21038;
inline constexpr uint32_t IDS_TIP_HELP = 21039;
inline constexpr uint32_t IDS_DEVICE_LINE_FORMAT = 21043;
inline constexpr uint32_t IDS_BAD_CONNECTION = 21044;
inline constexpr uint32_t IDS_SEARCH_FOUND = 21045;
inline constexpr uint32_t IDS_NO_DEVICE_FOUND = 21046;

// Update checks, the update wizard and the update server
inline constexpr uint32_t IDS_UPDATE_CAPTION = 22002;
inline constexpr uint32_t IDS_UPDATE_CONNECTING = 22005;
inline constexpr uint32_t IDS_UPDATE_NONE = 22007;
inline constexpr uint32_t IDS_UPDATE_FOUND = 22009;
inline constexpr uint32_t IDS_UPDATE_DOWNLOADING = 22010;
inline constexpr uint32_t IDS_UPDATE_MB_DOWNLOADED = 22017;
inline constexpr uint32_t IDS_UPDATE_DOWNLOAD_ERROR = 22018;
inline constexpr uint32_t IDS_UPDATE_RECEIVING = 22019;
inline constexpr uint32_t IDS_UPDATE_SEARCHING = 22020;
inline constexpr uint32_t IDS_UPDATE_NEXT = 22021;
inline constexpr uint32_t IDS_UPDATE_BACK = 22022;
inline constexpr uint32_t IDS_UPDATE_CANCEL = 22023;
inline constexpr uint32_t IDS_UPDATE_FINISH = 22024;
inline constexpr uint32_t IDS_FIRMWARE_CHECK_REMINDER = 22032;
inline constexpr uint32_t IDS_UPDATE_BAD_NAME = 22040;
inline constexpr uint32_t IDS_UPDATE_EMPTY = 22041;
inline constexpr uint32_t IDS_UPDATE_SIZE_MISMATCH = 22042;
inline constexpr uint32_t IDS_UPDATE_CHECKSUM_MISMATCH = 22043;
inline constexpr uint32_t IDS_UPDATE_CHECKSUM_UNREADABLE = 22044;
inline constexpr uint32_t IDS_UPDATE_WRITE_FAILED = 22045;
inline constexpr uint32_t IDS_UPDATE_NO_TARGET = 22046;
inline constexpr uint32_t IDS_UPDATE_SAVED = 22047;
// What a failed exchange with the update server means, before the transport's own words.
inline constexpr uint32_t IDS_UPDATE_SERVER_NOT_FOUND = 22048;
inline constexpr uint32_t IDS_UPDATE_SERVER_UNREACHABLE = 22049;
inline constexpr uint32_t IDS_UPDATE_SERVER_TIMEOUT = 22050;
inline constexpr uint32_t IDS_UPDATE_SERVER_REFUSED = 22051;
inline constexpr uint32_t IDS_UPDATE_SERVER_BROKE_OFF = 22052;
inline constexpr uint32_t IDS_UPDATE_FILE_MISSING = 22053;
inline constexpr uint32_t IDS_UPDATE_SERVER_FAILED = 22054;
inline constexpr uint32_t IDS_FTP_CONNECT_FAILED = 25003;
inline constexpr uint32_t IDS_FTP_FOLDER_NOT_FOUND = 25004;
inline constexpr uint32_t IDS_FTP_NO_SESSION = 25005;
inline constexpr uint32_t IDS_FTP_ERROR_NUMBER = 25006;

// Framework texts: the application's title for printouts and the idle status ("Ready")
inline constexpr uint32_t AFX_IDS_APP_TITLE = 0xE000;
inline constexpr uint32_t AFX_IDS_IDLEMESSAGE = 57345;

// The series page: popups, values and curves
inline constexpr uint32_t IDS_DIRECTION_AUTOMATIC = 59177;
inline constexpr uint32_t IDS_DIRECTION_DOWN = 59178;
inline constexpr uint32_t IDS_DIRECTION_HORIZONTAL = 59179;
inline constexpr uint32_t IDS_DIRECTION_DIAGONAL_DOWN = 59180;
inline constexpr uint32_t IDS_DIRECTION_DIAGONAL_UP = 59181;
inline constexpr uint32_t IDS_DIRECTION_UP = 59182;
inline constexpr uint32_t IDS_ABOVE_RANGE = 59186;
inline constexpr uint32_t IDS_BELOW_RANGE = 59187;
inline constexpr uint32_t IDS_DIAMETER_OFF = 59193;
inline constexpr uint32_t IDS_NO_COMMON_SCALES = 59196;
inline constexpr uint32_t IDS_NO = 59219;
inline constexpr uint32_t IDS_YES = 59220;
inline constexpr uint32_t IDS_EXCLUDE = 59221;
inline constexpr uint32_t IDS_SECONDS = 59228;
inline constexpr uint32_t IDS_DIRECTION_CORRECTION = 59236;
inline constexpr uint32_t IDS_DIAMETER_CORRECTION = 59237;
inline constexpr uint32_t IDS_COPY_ONE = 59307;
inline constexpr uint32_t IDS_COPY_ALL = 59308;
inline constexpr uint32_t IDS_METRIC = 59311;
inline constexpr uint32_t IDS_IMPERIAL = 59312;
inline constexpr uint32_t IDS_CLAMP_TITLE = 59313;
inline constexpr uint32_t IDS_VIBRATION_TITLE = 59315;

// The edit popups of the project tree and the series page, and the tree's questions
inline constexpr uint32_t IDS_TREE_CUT = 59202;
inline constexpr uint32_t IDS_TREE_COPY = 59203;
inline constexpr uint32_t IDS_TREE_PASTE = 59204;
inline constexpr uint32_t IDS_TREE_DELETE = 59205;
inline constexpr uint32_t IDS_TREE_RENAME = 59206;
inline constexpr uint32_t IDS_TREE_NEW_FOLDER = 59207;
inline constexpr uint32_t IDS_TREE_ASK_DELETE = 59213;
inline constexpr uint32_t IDS_TREE_PASTE_INTO_CHILD = 59309;

// Download and import of measurement files, and the measurement file explorer
inline constexpr uint32_t IDS_ALL_FILES = 1271;
inline constexpr uint32_t IDS_DOWNLOADING = 59142;
inline constexpr uint32_t IDS_CANCEL = 59143;
inline constexpr uint32_t IDS_FROM = 59197;
inline constexpr uint32_t IDS_TO = 59198;
inline constexpr uint32_t IDS_DELETING = 59199;
inline constexpr uint32_t IDS_DELETING_FILE = 59200;
inline constexpr uint32_t IDS_DOWNLOAD = 59201;
inline constexpr uint32_t IDS_DELETE_FAILED = 59208;
inline constexpr uint32_t IDS_RENAME_FAILED = 59209;
inline constexpr uint32_t IDS_INVALID_CHARACTER = 59210;
inline constexpr uint32_t IDS_NEW_FOLDER_NAME = 59211;
inline constexpr uint32_t IDS_NEW_FOLDER_FAILED = 59212;
inline constexpr uint32_t IDS_MOVING = 59214;
inline constexpr uint32_t IDS_MOVE_FAILED = 59215;
inline constexpr uint32_t IDS_IMPORTING = 59238;
inline constexpr uint32_t IDS_PREPARING_IMPORT = 59239;
inline constexpr uint32_t IDS_DOWNLOADING_CONVERSIONS = 59240;
inline constexpr uint32_t IDS_FILES_COLUMN = 59255;
inline constexpr uint32_t IDS_FOLDER_UP_TIP = 59256;
inline constexpr uint32_t IDS_MEASUREMENT_FILES = 59305;
inline constexpr uint32_t IDS_EXPLORER_CAPTION = 59400;
inline constexpr uint32_t IDS_CONNECTION_LOST = 59401;
inline constexpr uint32_t IDS_LISTING_FAILED = 59402;
inline constexpr uint32_t IDS_NOT_DOWNLOADED = 59403;
inline constexpr uint32_t IDS_NOT_IMPORTED = 59404;
inline constexpr uint32_t IDS_UNREADABLE_CONVERSIONS = 59405;
inline constexpr uint32_t IDS_ENTER_NAME = 59406;
inline constexpr uint32_t IDS_MOVE_INTO_ITSELF = 59407;
inline constexpr uint32_t IDS_LOST_DURING_DOWNLOAD = 59408;
inline constexpr uint32_t IDS_WAITING_FOR_TESTER = 59420;

// The tester's file managers, its LOG files and profiles, and the device-upgrade tool
inline constexpr uint32_t IDS_LOG_DOWNLOADING = 59241;
inline constexpr uint32_t IDS_LOG_DEFAULT_NAME = 59242;
inline constexpr uint32_t IDS_LOG_FILTER = 59243;
inline constexpr uint32_t IDS_LOG_DONE = 59244;
inline constexpr uint32_t IDS_LOG_FAILED = 59245;
inline constexpr uint32_t IDS_PROFILES_DEFAULT_NAME = 59246;
inline constexpr uint32_t IDS_PROFILES_FILTER = 59247;
inline constexpr uint32_t IDS_BACKUP_DONE = 59248;
inline constexpr uint32_t IDS_BACKUP_FAILED = 59249;
inline constexpr uint32_t IDS_RESTORE_FAILED = 59250;
inline constexpr uint32_t IDS_RESTORE_DONE = 59251;
inline constexpr uint32_t IDS_RESTORE_NO_RIGHTS = 59252;
inline constexpr uint32_t IDS_RESTORE_REBOOTED = 59253;
inline constexpr uint32_t IDS_LANG_COLUMN = 59254;
inline constexpr uint32_t IDS_LANG_DOWNLOADING = 59257;
inline constexpr uint32_t IDS_LANG_DOWNLOAD_DONE = 59258;
inline constexpr uint32_t IDS_LANG_DOWNLOAD_FAILED = 59259;
inline constexpr uint32_t IDS_LANG_FILTER = 59260;
inline constexpr uint32_t IDS_LANG_UPLOAD_DONE = 59261;
inline constexpr uint32_t IDS_LANG_UPLOAD_FAILED = 59262;
inline constexpr uint32_t IDS_LANG_ADDING = 59263;
inline constexpr uint32_t IDS_LANG_UPLOADING = 59264;
inline constexpr uint32_t IDS_LANG_DOWNLOADING_LINE = 59265;
inline constexpr uint32_t IDS_MANAGER_DELETE_NO_RIGHTS = 59266;
inline constexpr uint32_t IDS_LANG_ADD_NO_RIGHTS = 59267;
inline constexpr uint32_t IDS_CC_DOWNLOADING = 59268;
inline constexpr uint32_t IDS_CC_DOWNLOAD_DONE = 59269;
inline constexpr uint32_t IDS_CC_DOWNLOAD_FAILED = 59270;
inline constexpr uint32_t IDS_CC_FILTER = 59271;
inline constexpr uint32_t IDS_CC_UPLOAD_DONE = 59272;
inline constexpr uint32_t IDS_CC_UPLOAD_FAILED = 59273;
inline constexpr uint32_t IDS_CC_ADDING = 59274;
inline constexpr uint32_t IDS_CC_UPLOADING = 59275;
inline constexpr uint32_t IDS_CC_DOWNLOADING_LINE = 59276;
inline constexpr uint32_t IDS_CC_COLUMN = 59277;
inline constexpr uint32_t IDS_CC_ADD_NO_RIGHTS = 59278;
inline constexpr uint32_t IDS_HELP_DOWNLOADING = 59279;
inline constexpr uint32_t IDS_HELP_DOWNLOAD_DONE = 59280;
inline constexpr uint32_t IDS_HELP_DOWNLOAD_FAILED = 59281;
inline constexpr uint32_t IDS_HELP_FILTER = 59282;
inline constexpr uint32_t IDS_HELP_UPLOAD_DONE = 59283;
inline constexpr uint32_t IDS_HELP_UPLOAD_FAILED = 59284;
inline constexpr uint32_t IDS_HELP_ADDING = 59285;
inline constexpr uint32_t IDS_HELP_UPLOADING = 59286;
inline constexpr uint32_t IDS_HELP_DOWNLOADING_LINE = 59287;
inline constexpr uint32_t IDS_HELP_COLUMN = 59288;
inline constexpr uint32_t IDS_HELP_ADD_NO_RIGHTS = 59289;
inline constexpr uint32_t IDS_LANG_ADD_TIP = 59290;
inline constexpr uint32_t IDS_CC_ADD_TIP = 59291;
inline constexpr uint32_t IDS_HELP_ADD_TIP = 59292;
inline constexpr uint32_t IDS_LANG_DOWNLOAD_TIP = 59293;
inline constexpr uint32_t IDS_CC_DOWNLOAD_TIP = 59294;
inline constexpr uint32_t IDS_HELP_DOWNLOAD_TIP = 59295;
inline constexpr uint32_t IDS_CLOSE_TIP = 59296;
inline constexpr uint32_t IDS_HELP_NOTHING_MARKED = 59297;
inline constexpr uint32_t IDS_CC_NOTHING_MARKED = 59298;
inline constexpr uint32_t IDS_LANG_NOTHING_MARKED = 59299;
inline constexpr uint32_t IDS_UNSAFE_DEVICE_NAME = 59470;
inline constexpr uint32_t IDS_UNSAFE_UPLOAD_NAME = 59471;
inline constexpr uint32_t IDS_UNREADABLE_LOCAL_FILE = 59472;
inline constexpr uint32_t IDS_UPGRADE_TOOL_MISSING = 59473;
inline constexpr uint32_t IDS_MANAGER_CLOSE = 59475;
inline constexpr uint32_t IDS_MANAGER_ADD = 59476;
inline constexpr uint32_t IDS_MANAGER_DOWNLOAD = 59477;
inline constexpr uint32_t IDS_FILE_LISTING_FAILED = 59481;
// Why names are refused before they reach the tester.
inline constexpr uint32_t IDS_UPLOAD_NAME_SEPARATOR = 59482;
inline constexpr uint32_t IDS_UPLOAD_NAME_CONTROL = 59483;
inline constexpr uint32_t IDS_UPLOAD_NAME_BLANK = 59484;
inline constexpr uint32_t IDS_NAME_ONLY_PERIODS = 59485;
inline constexpr uint32_t IDS_CC_CAPTION = 59478;
inline constexpr uint32_t IDS_HELP_CAPTION = 59479;
inline constexpr uint32_t IDS_LANG_CAPTION = 59480;
// A LOG collection that ended early: what arrived, and where it is.
inline constexpr uint32_t IDS_LOG_PARTIAL_KEPT = 59490;
inline constexpr uint32_t IDS_LOG_PARTIAL_BESIDE = 59491;

// The main window's menus and status line
inline constexpr uint32_t IDS_NEW_VERSION_MENU = 59326;
inline constexpr uint32_t IDS_UPDATE_PROGRAM = 59327;
inline constexpr uint32_t IDS_UPDATE_DEVICE_APP = 59328;
inline constexpr uint32_t IDS_UPDATE_DEVICE_OS = 59329;
inline constexpr uint32_t IDS_REGISTRATION_PAGE = 59330;
inline constexpr uint32_t IDS_FEEDBACK_PAGE = 59331;
inline constexpr uint32_t IDS_DOWNLOAD_MENU_DOWNLOAD = 59332;
inline constexpr uint32_t IDS_DOWNLOAD_MENU_DISCONNECT = 59333;
inline constexpr uint32_t IDS_CAPS = 59334;
inline constexpr uint32_t IDS_NUM = 59335;

// Live measurement with the indentation tester
inline constexpr uint32_t IDS_LIVE_NOT_STARTED = 1230;
inline constexpr uint32_t IDS_LIVE_CURVE_NOT_STORED = 1232;
inline constexpr uint32_t IDS_LIVE_COUNT_INVALID = 1233;
inline constexpr uint32_t IDS_LIVE_LINK_LOST = 1234;

// The shell's own texts: messages, menus, toolbar tips, dialog labels and buttons
inline constexpr uint32_t IDS_FILE_NOT_FOUND = 3000;
inline constexpr uint32_t IDS_FILE_NOT_INSTALLED = 3001;
inline constexpr uint32_t IDS_MENU_FILE = 3010;
inline constexpr uint32_t IDS_MENU_OPEN = 3011;
inline constexpr uint32_t IDS_MENU_IMPORT = 3012;
inline constexpr uint32_t IDS_MENU_EXPORT = 3013;
inline constexpr uint32_t IDS_MENU_EDIT = 3014;
inline constexpr uint32_t IDS_MENU_VESKORA = 3015;
inline constexpr uint32_t IDS_MENU_VESKAMON = 3016;
inline constexpr uint32_t IDS_MENU_HELP = 3017;
inline constexpr uint32_t IDS_CMD_OPEN_PROJECT = 3020;
inline constexpr uint32_t IDS_CMD_DOWNLOAD = 3021;
inline constexpr uint32_t IDS_CMD_IMPORT = 3022;
inline constexpr uint32_t IDS_CMD_CLOSE_PROJECT = 3023;
inline constexpr uint32_t IDS_CMD_SAVE_PROJECT = 3024;
inline constexpr uint32_t IDS_CMD_SAVE_AS = 3025;
inline constexpr uint32_t IDS_CMD_EXPORT_GRAPHIC = 3026;
inline constexpr uint32_t IDS_CMD_EXPORT_TEXT = 3027;
inline constexpr uint32_t IDS_CMD_PRINT = 3028;
inline constexpr uint32_t IDS_CMD_APP_SETTINGS = 3029;
inline constexpr uint32_t IDS_CMD_APP_EXIT = 3030;
inline constexpr uint32_t IDS_CMD_SELECT_ALL = 3031;
inline constexpr uint32_t IDS_CMD_COPY = 3032;
inline constexpr uint32_t IDS_CMD_PASTE = 3033;
inline constexpr uint32_t IDS_CMD_DELETE = 3034;
inline constexpr uint32_t IDS_CMD_EXPLORER = 3035;
inline constexpr uint32_t IDS_CMD_DISCONNECT = 3036;
inline constexpr uint32_t IDS_CMD_DOWNLOAD_LOG = 3037;
inline constexpr uint32_t IDS_CMD_BACKUP_PROFILES = 3038;
inline constexpr uint32_t IDS_CMD_RESTORE_PROFILES = 3039;
inline constexpr uint32_t IDS_CMD_LANGUAGE_MANAGER = 3040;
inline constexpr uint32_t IDS_CMD_CONVERSIONS_MANAGER = 3041;
inline constexpr uint32_t IDS_CMD_HELPFILES_MANAGER = 3042;
inline constexpr uint32_t IDS_CMD_UPGRADE_DEVICE = 3043;
inline constexpr uint32_t IDS_CMD_MEASURE = 3044;
inline constexpr uint32_t IDS_CMD_HELP_MANUAL = 3045;
inline constexpr uint32_t IDS_CMD_HELP_UPGRADE = 3046;
inline constexpr uint32_t IDS_CMD_CHECK_UPDATES = 3047;
inline constexpr uint32_t IDS_CMD_PRODUCT_REGISTRATION = 3048;
inline constexpr uint32_t IDS_CMD_CUSTOMER_FEEDBACK = 3049;
inline constexpr uint32_t IDS_CMD_APP_ABOUT = 3050;
inline constexpr uint32_t IDS_BUTTON_OK = 3070;
inline constexpr uint32_t IDS_BUTTON_CANCEL = 3071;
inline constexpr uint32_t IDS_BUTTON_RESET = 3072;
inline constexpr uint32_t IDS_SETTINGS_TITLE = 3073;
inline constexpr uint32_t IDS_SELECT_LANGUAGE = 3074;
inline constexpr uint32_t IDS_DATE_FORMAT_LABEL = 3075;
inline constexpr uint32_t IDS_TIME_FORMAT_LABEL = 3076;
inline constexpr uint32_t IDS_ABOUT_TITLE = 3077;
inline constexpr uint32_t IDS_ABOUT_VERSION = 3078;
inline constexpr uint32_t IDS_ABOUT_RELEASE = 3079;
inline constexpr uint32_t IDS_ABOUT_BUILD = 3080;
inline constexpr uint32_t IDS_SHEET_TITLE = 3081;
inline constexpr uint32_t IDS_COMMENT_TITLE = 3083;
inline constexpr uint32_t IDS_ADJUST_TIME_TITLE = 3084;
inline constexpr uint32_t IDS_CURRENT_TIME_STAMP = 3085;
inline constexpr uint32_t IDS_DATE_LABEL = 3086;
inline constexpr uint32_t IDS_TIME_LABEL = 3087;
inline constexpr uint32_t IDS_ADJUSTED_TIME_STAMP = 3088;
inline constexpr uint32_t IDS_INFO = 3089;
inline constexpr uint32_t IDS_ADJUST_ALL_INFO = 3090;
inline constexpr uint32_t IDS_PLEASE_WAIT_DOWNLOADING = 3091;
inline constexpr uint32_t IDS_LANGUAGE_PACK_DAMAGED = 3180;
inline constexpr uint32_t IDS_NOT_A_REGULAR_FILE = 3181;

// The settings file and the project file: what went wrong, naming the file
inline constexpr uint32_t IDS_SETTINGS_DAMAGED = 3340;
inline constexpr uint32_t IDS_SETTINGS_CANNOT_OPEN = 3341;
inline constexpr uint32_t IDS_SETTINGS_NOT_JSON = 3342;
inline constexpr uint32_t IDS_SETTINGS_WRONG_LAYOUT = 3343;
inline constexpr uint32_t IDS_SETTINGS_BAD_VALUE = 3344;
inline constexpr uint32_t IDS_SETTINGS_LOCKED = 3345;
inline constexpr uint32_t IDS_SETTINGS_TOO_LARGE = 3346;
inline constexpr uint32_t IDS_SETTINGS_TOO_DEEP = 3347;
inline constexpr uint32_t IDS_OPEN_NO_PERMISSION = 3350;
inline constexpr uint32_t IDS_OPEN_NOT_A_FILE = 3351;
inline constexpr uint32_t IDS_OPEN_EMPTY = 3352;
inline constexpr uint32_t IDS_OPEN_DAMAGED = 3353;
inline constexpr uint32_t IDS_OPEN_NOT_PROJECT = 3354;
inline constexpr uint32_t IDS_OPEN_READ_FAILED = 3355;
inline constexpr uint32_t IDS_PROJECT_CHANGED_ON_DISK = 3356;
// Typed values
inline constexpr uint32_t IDS_TYPED_NOT_A_NUMBER = 3360;
inline constexpr uint32_t IDS_LIMITS_INVERTED = 3361;
inline constexpr uint32_t IDS_COMMENT_CHARS_LEFT = 3362;
inline constexpr uint32_t IDS_SERIES_NAME_EMPTY = 3363;
inline constexpr uint32_t IDS_INVALID_IP_ADDRESS = 3364;
} // namespace StringId
