#!/usr/bin/env python3
"""Writes the legacy-encoded sheets of this folder (run from the corpus root).

Two are public sheets re-encoded (libgue/non-latin.cue to Shift-JIS,
deflacue/vys1.cue to CP1251). Three carry real album track lists in Chinese
and Korean, written for this corpus on the timings of public sheets (see
SOURCES), and encoded to GBK, Big5 and EUC-KR.
"""
import re


def indexes(path):
    """The INDEX lines of each track of a public sheet, in order."""
    tracks = []
    for line in open(path, encoding='utf-8'):
        line = line.strip()
        if line.startswith('TRACK'):
            tracks.append([])
        elif line.startswith('INDEX') and tracks:
            tracks[-1].append(line)
    return tracks


def sheet(performer, album, date, image, titles, timing_sheet):
    text = f'REM GENRE Pop\r\nREM DATE {date}\r\nPERFORMER "{performer}"\r\nTITLE "{album}"\r\n'
    text += f'FILE "{image}" WAVE\r\n'
    for number, (title, lines) in enumerate(zip(titles, indexes(timing_sheet)), 1):
        text += f'  TRACK {number:02d} AUDIO\r\n    TITLE "{title}"\r\n    PERFORMER "{performer}"\r\n'
        text += ''.join(f'    {line}\r\n' for line in lines)
    return text


def write(path, text, encoding):
    with open(path, 'wb') as out:
        out.write(text.encode(encoding))


write('legacy/yehuimei.gbk.cue',
      sheet('周杰伦', '叶惠美', 2003, '周杰伦 - 叶惠美.wav',
            '以父之名 懦夫 晴天 三年二班 东风破 你听得到 同一种调调 她的睫毛 爱情悬崖 梯田 双刀'.split(),
            'whipper/breeders.cue'), 'gbk')
write('legacy/fantasy.big5.cue',
      sheet('周杰倫', '范特西', 2001, '周杰倫 - 范特西.wav',
            '愛在西元前 爸我回來了 簡單愛 忍者 開不了口 上海一九四三 對不起 威廉古堡 雙截棍 安靜'.split(),
            'whipper/kings-single.cue'), 'big5')
write('legacy/kkotgalpi.euc-kr.cue',
      sheet('아이유', '꽃갈피', 2014, '아이유 - 꽃갈피.wav',
            ['나의 옛날이야기', '꽃', '삐에로는 우릴 보고 웃지', '사랑이 지나가면', '너의 의미',
             '여름밤의 꿈', '어젯밤 이야기'],
            'cuesheetnet/Spandau Ballet - True.cue'), 'euc_kr')
write('legacy/non-latin.shift-jis.cue', open('libgue/non-latin.cue', encoding='utf-8', newline='').read(), 'cp932')
write('legacy/vys1.cp1251.cue', open('deflacue/vys1.cue', encoding='utf-8', newline='').read(), 'cp1251')
