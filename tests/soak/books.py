"""Tiny EPUB books for the soak, each with a unique title, written by pagewyn_make_books (the
tests' book builder as a command, built beside the tests): one run writes a whole library of ten
thousand, another each book the soak adds later."""

import os
import subprocess
import tempfile

AUTHORS = ["Ann Archer", "Émile Zola", "Bo Chen", "Dagny Ek", "Łucja Nowak", "Yuki Sato", "Omar Haddad"]

maker = None  # path of pagewyn_make_books, set by use_maker()


def use_maker(path):
    global maker
    if not os.access(path, os.X_OK):
        raise SystemExit(f"no book maker at {path}: build the tests, or pass --book-maker")
    maker = path


def title_of(key):
    return f"Soak {key}"


def write_books(books):
    """Writes a zipped book titled title_of(key) at each (path, key)."""
    lines = "".join(f"{path}\t{title_of(key)}\t{AUTHORS[sum(key.encode()) % len(AUTHORS)]}\n" for path, key in books)
    subprocess.run([maker], input=lines.encode(), check=True)


def write_book(path, key):
    write_books([(path, key)])


def book_bytes(key):
    with tempfile.TemporaryDirectory(prefix="pagewyn-soak-book-") as folder:
        path = os.path.join(folder, "book.epub")
        write_book(path, key)
        with open(path, "rb") as book:
            return book.read()
