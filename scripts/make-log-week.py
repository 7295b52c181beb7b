#!/usr/bin/env python3
"""Writes a realistic week of event log files, as the filter leaves them, into a folder.

    scripts/make-log-week.py FOLDER [--end YYYY-MM-DD] [--days 7] [--seed 7]

One GBK file per day named year-month-day.log (no leading zeros), CR LF lines of seven tab-
separated fields: time, kind (拦截 / 替换 / 记录), method, rule, client address, URL, context.
Traffic follows office hours with an evening peak; a few clients and pages draw most blocks,
and one afternoon has a burst from a single address, as happens when a bot probes a site.
"""
import argparse
import datetime
import os
import random

DENY = ["六合彩", "代开发票", "网络赌博", "私服外挂", "办证刻章", "枪支弹药", "高利贷", "博彩+网站"]
REPLACE = ["傻瓜", "垃圾", "混蛋", "白痴", "滚蛋"]
RECORD = ["投诉", "举报", "兼职", "贷款", "比特币", "代购"]
PAGES = ["www.example.gov.cn/news/2024/0612.htm", "www.example.gov.cn/bbs/thread.asp?id=1187",
         "www.example.gov.cn/bbs/post.asp", "www.example.gov.cn/guestbook/index.asp",
         "www.example.gov.cn/search.aspx?q=%e6%9c%8d%e5%8a%a1", "shop.example.com.cn/item/20931.html",
         "shop.example.com.cn/review/list.php?p=3", "www.example.gov.cn/zwgk/tzgg/index.htm",
         "bbs.example.edu.cn/forum.php?mod=viewthread&tid=5521", "www.example.gov.cn/hdjl/zxts.asp"]
CLIENTS = ["58.34.%d.%d", "114.88.%d.%d", "221.179.%d.%d", "183.6.%d.%d", "36.110.%d.%d",
           "119.147.%d.%d", "10.12.%d.%d"]
CONTEXTS = ["最新消息", "本站公告", "网友留言", "评论区", "搜索结果", "商品评价", "-"]
# A few regular visitors and many occasional ones.
_pool_rng = random.Random(11)
POOL = [_pool_rng.choice(CLIENTS) % (_pool_rng.randint(1, 20), _pool_rng.randint(2, 254))
        for _ in range(60)]
HOUR_WEIGHTS = [1, 1, 1, 1, 1, 1, 2, 4, 8, 11, 12, 11, 8, 9, 11, 12, 11, 9, 7, 8, 10, 9, 6, 3]


def event(rng, day, hour, kind=None, client=None):
    kind = kind or rng.choices(["拦截", "替换", "记录"], weights=[5, 3, 2])[0]
    words = {"拦截": DENY, "替换": REPLACE, "记录": RECORD}[kind]
    key = rng.choice(words[:3]) if rng.random() < 0.5 else rng.choice(words)
    url = rng.choices(PAGES, weights=[9, 14, 12, 10, 3, 5, 6, 2, 7, 4])[0]
    client = client or rng.choices(POOL, weights=[1.0 / (i + 1) for i in range(len(POOL))])[0]
    method = "POST" if "post" in url or "guestbook" in url or "zxts" in url else "GET"
    when = datetime.datetime.combine(day, datetime.time(hour, rng.randint(0, 59), rng.randint(0, 59)))
    fields = [when.strftime("%Y-%m-%d %H:%M:%S"), kind, method, key, client, url,
              rng.choice(CONTEXTS)]
    return when, "\t".join(fields)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--end", default=None)
    parser.add_argument("--days", type=int, default=7)
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    end = (datetime.date.fromisoformat(args.end) if args.end else datetime.date.today())
    rng = random.Random(args.seed)
    os.makedirs(args.folder, exist_ok=True)
    for back in range(args.days - 1, -1, -1):
        day = end - datetime.timedelta(days=back)
        weekend = day.weekday() >= 5
        lines = []
        for _ in range(rng.randint(140, 220) // (2 if weekend else 1)):
            hour = rng.choices(range(24), weights=HOUR_WEIGHTS)[0]
            lines.append(event(rng, day, hour))
        if back == 2:  # a probe from one address through an afternoon
            for _ in range(90):
                lines.append(event(rng, day, rng.choice([14, 15, 15, 16]), "拦截", "61.135.7.201"))
        lines.sort()
        name = "%d-%d-%d.log" % (day.year, day.month, day.day)
        with open(os.path.join(args.folder, name), "wb") as out:
            out.write("".join(text + "\r\n" for _, text in lines).encode("gbk"))


if __name__ == "__main__":
    main()
