// Our 42 resource names, and the language codes other identifiers report mapped to them.
'use strict';

const LANGS = ['AFRIKAANS', 'ALBANIAN', 'ARABIC', 'BULGARIAN', 'CATALAN', 'CHINESE_SIMPLIFIED',
  'CHINESE_TRADITIONAL', 'CZECH', 'DANISH', 'DUTCH', 'ENGLISH', 'ESPERANTO', 'ESTONIAN', 'FINNISH',
  'FRENCH', 'GERMAN', 'GREEK', 'HEBREW', 'HUNGARIAN', 'ICELANDIC', 'INDONESIAN', 'IRISH', 'ITALIAN',
  'JAPANESE', 'KOREAN', 'LATIN', 'LITHUANIAN', 'NORWEGIAN', 'PERSIAN', 'POLISH', 'PORTUGUESE',
  'ROMANIAN', 'RUSSIAN', 'SLOVAK', 'SLOVENE', 'SPANISH', 'SWEDISH', 'THAI', 'TURKEY', 'UKRAINIAN',
  'VIETNAMESE', 'WELSH'];

// ISO 639-1 style codes as CLD2, CLD3 and fastText report them.
const CODES = {
  af: 'AFRIKAANS', sq: 'ALBANIAN', ar: 'ARABIC', bg: 'BULGARIAN', ca: 'CATALAN',
  zh: 'CHINESE_SIMPLIFIED', 'zh-Hant': 'CHINESE_TRADITIONAL', cs: 'CZECH', da: 'DANISH',
  nl: 'DUTCH', en: 'ENGLISH', eo: 'ESPERANTO', et: 'ESTONIAN', fi: 'FINNISH', fr: 'FRENCH',
  de: 'GERMAN', el: 'GREEK', iw: 'HEBREW', he: 'HEBREW', hu: 'HUNGARIAN', is: 'ICELANDIC',
  id: 'INDONESIAN', ga: 'IRISH', it: 'ITALIAN', ja: 'JAPANESE', ko: 'KOREAN', la: 'LATIN',
  lt: 'LITHUANIAN', no: 'NORWEGIAN', nb: 'NORWEGIAN', fa: 'PERSIAN', pl: 'POLISH', pt: 'PORTUGUESE',
  ro: 'ROMANIAN', ru: 'RUSSIAN', sk: 'SLOVAK', sl: 'SLOVENE', es: 'SPANISH', sv: 'SWEDISH',
  th: 'THAI', tr: 'TURKEY', uk: 'UKRAINIAN', vi: 'VIETNAMESE', cy: 'WELSH',
};
for (const c of ['un', 'und', 'xx']) CODES[c] = 'UNKNOWN';

module.exports = { LANGS, CODES };
