// The search field at the top of the library list, under the header: every keystroke sends the
// field's whole text; Escape clears it (in the field, or anywhere on the library screen); "/" or
// Ctrl+F on the library screen (not in the reader, not while typing elsewhere) focuses it.

const isTyping = (target) => target instanceof HTMLElement
  && (target.isContentEditable || ['INPUT', 'TEXTAREA', 'SELECT'].includes(target.tagName));

export class SearchField {
  // changed(text): the field's text now.
  constructor(changed, isInFront) {
    this.element = document.createElement('div');
    this.element.className = 'search-bar';
    this.element.setAttribute('role', 'search');
    this.input = document.createElement('input');
    this.input.type = 'search';
    this.input.className = 'search-field';
    this.input.autocomplete = 'off';
    this.input.spellcheck = false;
    this.element.append(this.input);
    this.element.hidden = true;

    this.input.addEventListener('input', () => changed(this.input.value));
    this.input.addEventListener('keydown', (event) => {
      if (event.key !== 'Escape') return;
      event.preventDefault();
      event.stopPropagation();
      if (this.input.value !== '') {
        this.input.value = '';
        changed('');
      }
      this.input.blur();
    });
    document.addEventListener('keydown', (event) => {
      if (
        !this.element.isConnected ||
        this.element.hidden ||
        !isInFront() ||
        event.defaultPrevented
      )
        return;
      if (event.key === 'Escape' && this.input.value !== '' && !isTyping(event.target)) {
        event.preventDefault();
        this.input.value = '';
        changed('');
        return;
      }
      const slash = event.key === '/' && !event.ctrlKey && !event.metaKey && !event.altKey && !isTyping(event.target);
      const find = (event.ctrlKey || event.metaKey) && !event.altKey && event.key.toLowerCase() === 'f';
      if (!slash && !find) return;
      event.preventDefault();
      this.input.focus();
      this.input.select();
    });
  }

  get height() {
    return this.element.hidden ? 0 : 44;
  }

  // search: { name, text } from the host, or null for a table without a search field.
  update(search, top) {
    this.element.hidden = !search;
    if (!search) return;
    const name = String(search.name ?? '');
    this.input.setAttribute('aria-label', name);
    this.input.placeholder = name;
    this.element.style.top = `${top}px`;
    this.element.style.marginTop = `${top}px`;
    // What the user is typing is never overwritten by an answer to an earlier keystroke.
    if (document.activeElement !== this.input && this.input.value !== search.text) this.input.value = String(search.text ?? '');
  }
}
