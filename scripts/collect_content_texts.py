#!/usr/bin/env python3
"""Collects the texts that the content tests and the output digest classify:
every C++ string literal of the given sources (adjacent literals joined), one
text per line in hexadecimal, duplicates and empty strings left out. The list
feeds the accepted-text record of the content parser (see
tests/content/record_content_corpus.cpp)."""
import re
import sys

LITERAL = re.compile(r'(?:u8|u|U|L)?"((?:[^"\\\n]|\\.)*)"')
JOIN = re.compile(r'"\s*(?:u8|u|U|L)?"')


def unescape(body):
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c != '\\':
            out += c.encode('utf-8')
            i += 1
            continue
        n = body[i + 1]
        simple = {'n': 10, 'r': 13, 't': 9, '0': 0, '\\': 92, '"': 34, "'": 39, 'a': 7, 'b': 8, 'f': 12, 'v': 11, '?': 63}
        if n == 'x':
            j = i + 2
            while j < len(body) and body[j] in '0123456789abcdefABCDEF':
                j += 1
            out.append(int(body[i + 2:j], 16) & 0xFF)
            i = j
        elif n in '01234567':
            j = i + 1
            while j < len(body) and j < i + 4 and body[j] in '01234567':
                j += 1
            out.append(int(body[i + 1:j], 8) & 0xFF)
            i = j
        elif n in 'uU':
            width = 4 if n == 'u' else 8
            out += chr(int(body[i + 2:i + 2 + width], 16)).encode('utf-8')
            i += 2 + width
        else:
            out.append(simple.get(n, ord(n)))
            i += 2
    return bytes(out)


def main():
    seen = set()
    for path in sys.argv[1:]:
        source = open(path, encoding='utf-8').read()
        # Adjacent literals ("a" "b", also across lines) are one string.
        source = JOIN.sub('', source)
        for match in LITERAL.finditer(source):
            text = unescape(match.group(1))
            text = text.split(b'\0')[0]
            if not text or text in seen:
                continue
            seen.add(text)
            print(text.hex())


if __name__ == '__main__':
    main()
