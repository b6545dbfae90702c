/* Grammar of the content field parser (LALR(1), pure, bison).
 *
 * A text is exactly one of the forms below; keywords in any letter case, a line
 * break (LB) is CR LF, LF or CR alone. Values are the tokens between their
 * separators, kept as spans of the input; "\;", "\,", "\:" and "\\" stand for
 * the plain character. Each form yields one object whose first item is the
 * object name:
 *
 *   VCARD       BEGIN:VCARD LB { NAME[;PARAM[=VALUE]]...:value LB } END:VCARD [LB]
 *               A value line may continue on a line that starts with a space
 *               or tab (folding) and, in a quoted-printable value, after "=" LB
 *               (soft line break). Blank lines between properties are skipped.
 *               Properties of vCard 2.1, 3.0 and 4.0 that fill no field are
 *               kept without one.
 *   VCALENDAR   BEGIN:VCALENDAR LB { line } END:VCALENDAR, or the bare event
 *               BEGIN:VEVENT LB { line } END:VEVENT (iCalendar, vCalendar 1.0).
 *               Lines as in a vCard (parameters such as TZID, folding); nested
 *               components BEGIN:X ... END:X must match. Only the first VEVENT
 *               counts, and only its own lines: SUMMARY, LOCATION, DESCRIPTION,
 *               DTSTART, DTEND (values as written, e.g. 20240115T090000Z),
 *               URL and GEO; "\n" in a value is a line break. A calendar
 *               without an event is not accepted.
 *   MECARD      MECARD:{KEY:value;}[;]  keys N TEL EMAIL ADR URL NOTE BDAY NICKNAME
 *                                      TEL-AV SOUND ORG TITLE GEO (N and ADR split
 *                                      at ","; GEO is "lat,lon"); other keys are
 *                                      skipped. Whether an ADR is the positional
 *                                      form or one free-form street is the
 *                                      record walk's decision.
 *   WEBKM       MEBKM:{KEY:value;}[;]   keys TITLE URL; other keys are skipped
 *   MATMSG      MATMSG:{KEY:value;}[;]  keys TO SUB BODY; other keys are skipped
 *   BIZCARD     BIZCARD:{KEY:value;}[;] keys N X T C A B M F E; other keys are skipped
 *               (each of these four forms may end in ";;" or in the last field's ";")
 *   SMTP        SMTP:address[:subject[:body]]
 *   SMS / MMS   SMSTO:number[:message]  SMS:number[:message]  MMSTO:number[:message]
 *               MMS:number[:message]. After "sms:" and "mms:" a number with
 *               parameters or a query is an RFC 5724 URI:
 *               sms:number[;param...][,number...][?body=text], percent escapes
 *               resolved; the recipients are the numbers without parameters.
 *   VFMAILTO    MAILTO:address LB SUBJECT:subject LB BODY:body [LB], or the
 *               RFC 6068 URI mailto:[addresses][?hfield=value{&hfield=value}]
 *               with the fields to (more recipients), subject and body, percent
 *               escapes resolved (cc, bcc and others fill nothing)
 *   TEL         TEL:number[;param...]  digits, letters, "+", "-", ".", "(", ")",
 *                                      space, "*", "#"; RFC 3966 parameters
 *                                      (";ext=", ";phone-context=") fill nothing
 *   HTTP        http://...  https://...
 *   WTAI        wtai://library/function;param{;param}   library wp vc nt pb cl ms;
 *               the first parameter is the number, the second the name
 *   CALLTO      CALLTO:name  callto://name   (no ";")
 *   MEMORY      MEMORY:memo LB { KEY:value LB }   keys NAME1 NAME2 TEL1-3 MAIL1-3 ADD
 *   CV3ADDRESSBOOK  NAME:name{;KEY:value}   keys TEL EMAIL ADR CITY ZIP URL
 *   VFBOOKMARK  title LB http://address   (nothing after the address)
 *
 * Read before the grammar (ParseContent): a text that no form takes is read
 * again without its trailing spaces, tabs and line breaks; and one that still
 * fails, made of a title, one line break and an http:// or https:// address,
 * is a VFBOOKMARK whatever its title begins with (a digit, or a word that
 * begins another form: "2024 News", "Tel Aviv guide"). That last reading
 * starts with the marker token S_TITLED_BOOKMARK, so it needs no lookahead.
 *
 * The forms of our own that have no published syntax:
 *
 *   ORANGE (numbered-function form)   DD[N...];value
 *       Two digits DD give the function number (tens, units); further digits
 *       before the ";" are the number item. The value must be non-empty and hold
 *       no ";". Items: the field, then the function number "DD", then the number.
 *       The field's kind follows the function number: 1 and 10 phone (TEL), 2
 *       name (NAME), 3, 5 and 6 recipient (TO), 4 web address (URL, whose first
 *       character is a prefix digit: 1 "http://", 2 "http://www.", 3 "https://",
 *       4 "https://www.", 5 "rtsp://", anything else dropped), 7 and 8 event
 *       subject, 51 to 60 tag id, every other number the body.
 *       Examples: "01;0955667788", "04;2example.com", "511;12345678901234".
 *
 *   QBCODE (own address-book kinds)   CARD:kind;{KEY:value;};
 *       The kind word comes first (MAIL, SMS, PHONE, BM, AD, DTXT, MEDIA; any
 *       other word is kept and leaves the content unclassified). Keys:
 *         NAME short name      TEL, CT phones    EMAIL, EM e-mails
 *         SM recipient         SUB subject       TXT, INTR, BODY body
 *         TIL, TITLE title     NOTE note         URL web address
 *         ADR street           CITY city         ZIP postal code
 *         COR company          DIV department    IM instant messaging
 *         LEN, LNG length      FILE file         TYPE media type
 *         CR CR field          DG advert body    CVSID advert number
 *         FUNC function number (two digits)      NUM number
 *         TAG tag id           SUMMARY event subject
 *         LOCATION event location                DESCRIPTION further event field
 *         DTSTART event start  DTEND event end
 *       Examples: "CARD:PHONE;TEL:0955667788;;",
 *       "CARD:AD;TAG:12345678901234;FUNC:52;NUM:1;;".
 *
 * Within the grammar itself a bookmark title may not begin with a digit or
 * with a word that begins another form (BEGIN, MECARD, NAME, TEL, HTTP, ...):
 * one token of lookahead cannot tell those apart; the marked reading above
 * takes such titles.
 */

%code top {
#include <cstddef>

// The parser's state stack starts with 50 entries and may grow, inside the
// parse's pool, to 70; a deeper parse fails as "memory exhausted".
#define YYINITDEPTH 50
#define YYMAXDEPTH 70
#define YYSTACK_ALLOC(bytes) (s->pool->Allocate(bytes))
#define YYSTACK_ALLOC_MAXIMUM 4096
}

%code requires {
#include "content/parse_state.h"
#ifndef YY_TYPEDEF_YY_SCANNER_T
#define YY_TYPEDEF_YY_SCANNER_T
typedef void* yyscan_t;
#endif
}

%code {
int cvxlex(CVXSTYPE* value, yyscan_t scanner);

namespace {

void cvxerror(yyscan_t, cordavex::ParserState*, const char*) {}

}  // namespace

using cordavex::AddItem;
using cordavex::PropKind;
using cordavex::FormKind;
}

%define api.pure full
%define api.prefix {cvx}
%define api.value.type {cordavex::Span}
%lex-param {yyscan_t scanner}
%parse-param {yyscan_t scanner} {cordavex::ParserState* s}

%expect 0

%token
  K_BEGIN K_VCARD K_END K_ADR K_ORG K_AGENT K_LOGO K_PHOTO
  K_LABEL K_FN K_TITLE K_SOUND K_VERSION K_TEL K_EMAIL K_E_MAIL
  K_TZ K_GEO K_NOTE K_URL K_BDAY K_ROLE K_REV K_UID
  K_KEY K_MAILER K_TYPE K_VALUE K_ENCODING K_CHARSET K_LANGUAGE K_INLINE
  K_CID K_BIT7 K_BIT8 K_QUOTED_PRINTABLE K_BASE64 K_DOM K_INTL K_POSTAL
  K_PARCEL K_HOME K_WORK K_PREF K_VOICE K_FAX K_CVMSG K_CELL
  K_PAGER K_BBS K_MODEM K_CAR K_ISDN K_VIDEO K_AOL K_APPLELINK
  K_ATTMAIL K_CIS K_EWORLD K_INTERNET K_IBMMAIL K_MCIMAIL K_POWERSHARE K_PRODIGY
  K_TLX K_X400 K_IBM K_GIF K_CGM K_WMF K_BMP K_MET
  K_PMB K_DIB K_PICT K_TIFF K_PDF K_PS K_JPEG K_QTIME
  K_MPEG K_MPEG2 K_AVI K_WAVE K_AIFF K_PCM K_X509 K_PGP
  K_MECARD K_TEL_AV K_NICKNAME K_BIZCARD K_MATMSG K_TO K_SUB K_BODY
  K_SMTP K_SMSTO K_SMS K_MMSTO K_MAILTO K_SUBJECT K_MEMORY K_CITY
  K_NAME K_CALLTO K_NAME1 K_NAME2 K_MAIL1 K_MAIL2 K_MAIL3 K_TEL1
  K_TEL2 K_TEL3 K_ADD K_MEBKM K_CNTS K_LNG K_CARD K_AD
  K_MAIL K_MEDIA K_PHONE K_BM K_DTXT K_TIL K_DIV K_COR
  K_ZIP K_EM K_SM K_CT K_TXT K_INTR K_LEN K_FILE
  K_CR K_DG K_CVSID K_IM K_IMAGE_PNG K_HTTP K_HTTPS K_WTAI
  K_WP K_VC K_NT K_PB K_CL K_MS K_MC K_SD
  K_AP K_LAPL K_ADFURL K_CMD K_PARAM K_X_DASH K_CONTENT_ID K_AUDIO_MIDI
  K_AUDIO_MID K_AUDIO_SP_MIDI K_APPLICATION_X_MLD K_VCALENDAR K_VEVENT K_MMS
;
%token
  L_A L_B L_C L_D L_E L_F L_G L_H
  L_I L_J L_K L_L L_M L_N L_O L_P
  L_Q L_R L_S L_T L_U L_V L_W L_X
  L_Y L_Z
;
%token
  D_0 D_1 D_2 D_3 D_4 D_5 D_6 D_7
  D_8 D_9
;
%token
  P_SLASH P_PCT_PCT P_PCT_COLON P_PCT_SEMI P_ESC_COLON P_ESC_BACKSLASH P_ESC_SEMI
  P_ESC_COMMA P_DOT P_COLON P_SEMI P_COMMA P_EQUALS P_BAR P_PLUS P_STAR P_HASH
  P_AT P_SPACE P_TAB P_LB P_PCT_CODE P_OTHER
;
/* "=" and a line break inside a quoted-printable vCard value: the scanner
   gives this token only while such a value is being read. */
%token P_SOFT_BREAK
/* Marker of the reading as a titled bookmark; the scanner gives it first, and
   only when ParseContent asks for that reading. */
%token S_TITLED_BOOKMARK

%%

content
  : vcard | calendar | kv_form | qbcode | smtp | sms | mailto | tel | web | wtai | callto
  | memory | address_book | bookmark | numbered | titled_bookmark
  ;

/* ---- vCard ---- */

vcard
  : K_BEGIN P_COLON K_VCARD P_LB v_props K_END P_COLON K_VCARD opt_lb
      { if (!cordavex::FinishObject(*s, "VCARD")) YYABORT; }
  ;
opt_lb : %empty | P_LB ;
v_props : %empty | v_props v_prop | v_props P_LB ;
v_prop
  : v_key v_params P_COLON v_value P_LB
      { s->form = FormKind::vcard;
        s->quotedPrintable = false;
        if (!cordavex::AddKeyedItem(*s, $1, $4)) YYABORT; }
  ;
v_key : v_key_first | v_key key_tok { $$ = cordavex::Join($1, $2); } ;
v_key_first : word_plain | starter | digit | P_OTHER | P_DOT ;
v_params : %empty | v_params P_SEMI v_param ;
v_param
  : key { if (!cordavex::AddParam(*s, $1, cordavex::kEmptySpan)) YYABORT; }
  | key P_EQUALS p_value { if (!cordavex::AddParam(*s, $1, $3)) YYABORT; }
  ;
p_value : %empty { $$ = cordavex::kEmptySpan; } | p_value t_param { $$ = cordavex::Join($1, $2); } ;
v_value
  : %empty { $$ = cordavex::kEmptySpan; }
  | v_value t_vtok { $$ = cordavex::Join($1, $2); }
  | v_value P_EQUALS { $$ = cordavex::Join($1, $2); }
  | v_value P_SOFT_BREAK { $$ = cordavex::Join($1, $2); }
  | v_value P_LB P_SPACE { $$ = cordavex::Join($1, $3); }
  | v_value P_LB P_TAB { $$ = cordavex::Join($1, $3); }
  ;

/* ---- iCalendar ---- */

calendar
  : K_BEGIN P_COLON calendar_head P_LB c_lines K_END P_COLON key
      { if (!cordavex::FinishCalendar(*s, $8)) YYABORT; }
  ;
calendar_head
  : K_VCALENDAR { cordavex::BeginCalendar(*s, $1); }
  | K_VEVENT { cordavex::BeginCalendar(*s, $1); }
  ;
c_lines
  : %empty
  | c_lines c_prop
  | c_lines P_LB
  | c_lines K_END P_COLON key P_LB { if (!cordavex::EndCalendarComponent(*s, $4)) YYABORT; }
  ;
c_prop
  : v_key v_params P_COLON v_value P_LB
      { s->form = FormKind::vcalendar;
        s->quotedPrintable = false;
        if (!cordavex::AddCalendarItem(*s, $1, $4)) YYABORT; }
  ;

/* ---- KEY:value; forms ---- */

kv_form
  : kv_head P_COLON kv_fields P_SEMI
      { if (!cordavex::FinishKeyedObject(*s)) YYABORT; }
  | kv_head P_COLON kv_fields
      { if (!cordavex::FinishKeyedObject(*s)) YYABORT; }
  ;
kv_head
  : K_MECARD { s->form = FormKind::mecard; s->objectName = "MECARD"; }
  | K_MEBKM { s->form = FormKind::mebkm; s->objectName = "WEBKM"; }
  | K_MATMSG { s->form = FormKind::matmsg; s->objectName = "MATMSG"; }
  | K_BIZCARD { s->form = FormKind::bizcard; s->objectName = "BIZCARD"; }
  ;
kv_fields : kv_field | kv_fields kv_field ;
kv_field
  : key P_COLON semi_value P_SEMI { if (!cordavex::AddKeyedItem(*s, $1, $3)) YYABORT; }
  ;

qbcode
  : card_kind kv_fields P_SEMI { if (!cordavex::FinishObject(*s, "QBCODE")) YYABORT; }
  ;
card_kind
  : K_CARD P_COLON key P_SEMI
      { s->form = FormKind::card;
        if (!AddItem(*s, PropKind::addressBookKind, $3)) YYABORT; }
  ;

/* ---- messages ---- */

smtp
  : K_SMTP P_COLON colon_value1 P_COLON colon_value P_COLON any_value
      { if (!cordavex::AddSmtp(*s, $3, $5, $7)) YYABORT; }
  | K_SMTP P_COLON colon_value1
      { if (!cordavex::AddSmtp(*s, $3, cordavex::kEmptySpan, cordavex::kEmptySpan)) YYABORT; }
  | K_SMTP P_COLON colon_value1 P_COLON colon_value
      { if (!cordavex::AddSmtp(*s, $3, $5, cordavex::kEmptySpan)) YYABORT; }
  ;

sms
  : sms_head P_COLON colon_value1
      { if (!cordavex::AddShortMessage(*s, $3, cordavex::kEmptySpan)) YYABORT; }
  | sms_head P_COLON colon_value1 P_COLON any_value1
      { if (!cordavex::AddShortMessage(*s, $3, $5)) YYABORT; }
  ;
sms_head
  : K_SMSTO { s->objectName = "SMS"; }
  | K_SMS { s->objectName = "SMS"; s->smsUri = true; }
  | K_MMSTO { s->objectName = "MMS"; }
  | K_MMS { s->objectName = "MMS"; s->smsUri = true; }
  ;

mailto
  : K_MAILTO P_COLON line_value1 P_LB K_SUBJECT P_COLON line_value P_LB
    K_BODY P_COLON line_value opt_lb
      { if (!AddItem(*s, PropKind::email, $3) || !AddItem(*s, PropKind::to, $3) ||
            !AddItem(*s, PropKind::sub, $7) || !AddItem(*s, PropKind::body, $11) ||
            !cordavex::FinishObject(*s, "VFMAILTO")) YYABORT; }
  | K_MAILTO P_COLON line_value1
      { if (!cordavex::AddMailtoUri(*s, $3)) YYABORT; }
  ;

/* ---- numbers and links ---- */

tel
  : K_TEL P_COLON tel_number
      { if (!AddItem(*s, PropKind::tel, $3) || !cordavex::FinishObject(*s, "TEL")) YYABORT; }
  | K_TEL P_COLON tel_number P_SEMI line_value
      { if (!cordavex::AddTelNumber(*s, $3)) YYABORT; }
  ;
tel_number : tel_tok | tel_number tel_tok { $$ = cordavex::Join($1, $2); } ;
tel_tok
  : word | P_PLUS | P_SPACE | P_STAR | P_HASH | P_DOT
  | P_OTHER { if (!cordavex::IsPhoneSeparator(*s, $1)) YYABORT; }
  ;

web
  : web_scheme P_COLON P_SLASH P_SLASH any_value1
      { if (!AddItem(*s, PropKind::url, cordavex::Join($1, $5)) ||
            !cordavex::FinishObject(*s, "HTTP")) YYABORT; }
  ;
web_scheme : K_HTTP | K_HTTPS ;

wtai
  : wtai_head wtai_params { if (!cordavex::FinishObject(*s, "WTAI")) YYABORT; }
  ;
wtai_head
  : K_WTAI P_COLON P_SLASH P_SLASH wtai_library P_SLASH key P_SEMI
      { if (!AddItem(*s, PropKind::wtaiLibrary, $5) ||
            !AddItem(*s, PropKind::wtaiFunction, $7)) YYABORT; }
  ;
wtai_library : K_WP | K_VC | K_NT | K_PB | K_CL | K_MS ;
wtai_params
  : semi_value { if (!cordavex::AddWtaiParam(*s, $1)) YYABORT; }
  | wtai_params P_SEMI semi_value { if (!cordavex::AddWtaiParam(*s, $3)) YYABORT; }
  ;

callto
  : K_CALLTO P_COLON semi_value1
      { if (!cordavex::AddCallto(*s, $3) || !cordavex::FinishObject(*s, "CALLTO")) YYABORT; }
  ;

/* ---- address books ---- */

memory
  : memory_head memory_lines { if (!cordavex::FinishObject(*s, "MEMORY")) YYABORT; }
  ;
memory_head
  : K_MEMORY P_COLON line_value P_LB
      { s->form = FormKind::memory; if (!AddItem(*s, PropKind::memory, $3)) YYABORT; }
  ;
memory_lines
  : %empty
  | memory_lines key P_COLON line_value P_LB
      { if (!cordavex::AddKeyedItem(*s, $2, $4)) YYABORT; }
  ;

address_book
  : address_book_head address_book_fields
      { if (!cordavex::FinishObject(*s, "CV3ADDRESSBOOK")) YYABORT; }
  ;
address_book_head
  : K_NAME P_COLON semi_value
      { s->form = FormKind::addressBook; if (!AddItem(*s, PropKind::name, $3)) YYABORT; }
  ;
address_book_fields : address_book_field | address_book_fields address_book_field ;
address_book_field
  : P_SEMI key P_COLON semi_value { if (!cordavex::AddKeyedItem(*s, $2, $4)) YYABORT; }
  ;

bookmark
  : title P_LB K_HTTP P_COLON P_SLASH P_SLASH line_value1
      { if (!AddItem(*s, PropKind::title, $1) ||
            !AddItem(*s, PropKind::url, cordavex::Join($3, $7)) ||
            !cordavex::FinishObject(*s, "VFBOOKMARK")) YYABORT; }
  ;
titled_bookmark
  : S_TITLED_BOOKMARK line_value1 P_LB web_scheme P_COLON P_SLASH P_SLASH line_value1
      { if (!AddItem(*s, PropKind::title, $2) ||
            !AddItem(*s, PropKind::url, cordavex::Join($4, $8)) ||
            !cordavex::FinishObject(*s, "VFBOOKMARK")) YYABORT; }
  ;
title : title_first | title t_noline { $$ = cordavex::Join($1, $2); } ;
title_first : word_plain | K_END | punct | P_COLON | P_SEMI | P_EQUALS ;

numbered
  : digit digit code_digits P_SEMI semi_value1
      { if (!cordavex::AddNumberedField(*s, cordavex::Join(cordavex::Join($1, $2), $3), $5) ||
            !cordavex::FinishObject(*s, "ORANGE")) YYABORT; }
  ;
code_digits : %empty { $$ = cordavex::kEmptySpan; } | code_digits digit { $$ = cordavex::Join($1, $2); } ;

/* ---- values ---- */

key : key_tok | key key_tok { $$ = cordavex::Join($1, $2); } ;
key_tok : word | P_OTHER | P_DOT ;

semi_value : %empty { $$ = cordavex::kEmptySpan; } | semi_value1 ;
semi_value1 : t_nosemi | semi_value1 t_nosemi { $$ = cordavex::Join($1, $2); } ;
colon_value : %empty { $$ = cordavex::kEmptySpan; } | colon_value1 ;
colon_value1 : t_nocolon | colon_value1 t_nocolon { $$ = cordavex::Join($1, $2); } ;
line_value : %empty { $$ = cordavex::kEmptySpan; } | line_value1 ;
line_value1 : t_noline | line_value1 t_noline { $$ = cordavex::Join($1, $2); } ;
any_value : %empty { $$ = cordavex::kEmptySpan; } | any_value1 ;
any_value1 : t_any | any_value1 t_any { $$ = cordavex::Join($1, $2); } ;

t_param : word | punct ;
t_vtok : t_param | P_COLON | P_SEMI ;
t_nosemi : t_param | P_COLON | P_EQUALS | P_LB ;
t_noline : t_param | P_COLON | P_SEMI | P_EQUALS ;
t_nocolon : t_param | P_SEMI | P_EQUALS | P_LB ;
t_any : t_param | P_COLON | P_SEMI | P_EQUALS | P_LB ;

punct
  : P_SLASH | P_PCT_PCT | P_PCT_COLON | P_PCT_SEMI | P_ESC_COLON | P_ESC_BACKSLASH
  | P_ESC_SEMI | P_ESC_COMMA | P_DOT | P_COMMA | P_BAR | P_PLUS | P_STAR | P_HASH
  | P_AT | P_SPACE | P_TAB | P_PCT_CODE | P_OTHER
  ;

word : word_plain | starter | digit | K_END ;
word_plain
  : K_VCARD | K_ADR | K_ORG | K_AGENT | K_LOGO | K_PHOTO | K_LABEL | K_FN
  | K_TITLE | K_SOUND | K_VERSION | K_EMAIL | K_E_MAIL | K_TZ | K_GEO | K_NOTE
  | K_URL | K_BDAY | K_ROLE | K_REV | K_UID | K_KEY | K_MAILER | K_TYPE
  | K_VALUE | K_ENCODING | K_CHARSET | K_LANGUAGE | K_INLINE | K_CID | K_BIT7 | K_BIT8
  | K_QUOTED_PRINTABLE | K_BASE64 | K_DOM | K_INTL | K_POSTAL | K_PARCEL | K_HOME | K_WORK
  | K_PREF | K_VOICE | K_FAX | K_CVMSG | K_CELL | K_PAGER | K_BBS | K_MODEM
  | K_CAR | K_ISDN | K_VIDEO | K_AOL | K_APPLELINK | K_ATTMAIL | K_CIS | K_EWORLD
  | K_INTERNET | K_IBMMAIL | K_MCIMAIL | K_POWERSHARE | K_PRODIGY | K_TLX | K_X400 | K_IBM
  | K_GIF | K_CGM | K_WMF | K_BMP | K_MET | K_PMB | K_DIB | K_PICT
  | K_TIFF | K_PDF | K_PS | K_JPEG | K_QTIME | K_MPEG | K_MPEG2 | K_AVI
  | K_WAVE | K_AIFF | K_PCM | K_X509 | K_PGP | K_TEL_AV | K_NICKNAME | K_TO
  | K_SUB | K_BODY | K_SUBJECT | K_CITY | K_NAME1 | K_NAME2 | K_MAIL1 | K_MAIL2
  | K_MAIL3 | K_TEL1 | K_TEL2 | K_TEL3 | K_ADD | K_CNTS | K_LNG | K_AD
  | K_MAIL | K_MEDIA | K_PHONE | K_BM | K_DTXT | K_TIL | K_DIV | K_COR
  | K_ZIP | K_EM | K_SM | K_CT | K_TXT | K_INTR | K_LEN | K_FILE
  | K_CR | K_DG | K_CVSID | K_IM | K_IMAGE_PNG | K_WP | K_VC | K_NT
  | K_PB | K_CL | K_MS | K_MC | K_SD | K_AP | K_LAPL | K_ADFURL
  | K_CMD | K_PARAM | K_X_DASH | K_CONTENT_ID | K_AUDIO_MIDI | K_AUDIO_MID | K_AUDIO_SP_MIDI | K_APPLICATION_X_MLD
  | K_VCALENDAR | K_VEVENT
  | L_A | L_B | L_C | L_D | L_E | L_F | L_G | L_H
  | L_I | L_J | L_K | L_L | L_M | L_N | L_O | L_P
  | L_Q | L_R | L_S | L_T | L_U | L_V | L_W | L_X
  | L_Y | L_Z
  ;
starter
  : K_BEGIN | K_MECARD | K_MEBKM | K_MATMSG | K_BIZCARD | K_SMTP | K_SMSTO | K_SMS
  | K_MMSTO | K_MAILTO | K_TEL | K_HTTP | K_HTTPS | K_WTAI | K_CALLTO | K_MEMORY
  | K_NAME | K_CARD | K_MMS
  ;
digit
  : D_0 | D_1 | D_2 | D_3 | D_4 | D_5 | D_6 | D_7 | D_8 | D_9
  ;
