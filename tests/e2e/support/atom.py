"""Reads an Atom feed on standard input with feedparser and prints what a reading app sees of it
as JSON: whether it parsed cleanly, its title, links and OpenSearch counts, and its entries (the
language of an entry is its dc:language in the Dublin Core terms namespace, as the catalog writes it)."""
import json
import sys

import feedparser

parsed = feedparser.parse(sys.stdin.buffer.read())
links = lambda owner: [{'rel': l.get('rel'), 'href': l.get('href'), 'type': l.get('type')} for l in owner.get('links', [])]
print(json.dumps({
    'bozo': bool(parsed.bozo),
    'problem': str(parsed.get('bozo_exception', '')),
    'version': parsed.version,
    'title': parsed.feed.get('title'),
    'links': links(parsed.feed),
    'total': parsed.feed.get('opensearch_totalresults'),
    'perPage': parsed.feed.get('opensearch_itemsperpage'),
    'entries': [{'id': e.get('id'), 'title': e.get('title'), 'author': e.get('author'), 'updated': e.get('updated'),
                 'language': e.get('dcterms_language'), 'summary': e.get('summary'),
                 'content': [c.get('value') for c in e.get('content', [])],
                 'links': links(e)} for e in parsed.entries],
}))
