// The section index along the right edge: the index titles in the table's index colour. A tap
// jumps to the title; dragging along the column jumps as the finger passes each title. When the
// titles do not fit, every few are shown with dots between, and a position picks among all.

const titleHeight = 14;

export class SectionIndex {
  // jump(title) asks the application to scroll to the title.
  constructor(jump) {
    this.jump = jump;
    this.titles = [];
    this.element = document.createElement('nav');
    this.element.className = 'section-index';
    this.element.setAttribute('aria-label', 'Index');
    this.list = document.createElement('div');
    this.list.className = 'section-index-titles';
    this.element.append(this.list);
    this.element.hidden = true;
    this.attachPointer();
  }

  update(index, area) {
    const titles = Array.isArray(index?.titles) ? index.titles.map(String) : [];
    const color = index?.color ?? [0, 0, 1, 1];
    this.element.style.top = `${area.top}px`;
    this.element.hidden = titles.length === 0;
    const colorText = JSON.stringify(color);
    if (
      JSON.stringify(titles) === JSON.stringify(this.titles) &&
      this.colorText === colorText &&
      this.height === area.height
    )
      return;
    this.titles = titles;
    this.colorText = colorText;
    this.height = area.height;
    this.element.style.setProperty('--index-color', `rgba(${color.slice(0, 3).map((c) => Math.round(c * 255)).join(', ')}, ${color[3]})`);
    const fits = Math.max(1, Math.floor((area.height - 16) / titleHeight));
    const step =
      titles.length > fits ? Math.ceil(titles.length / Math.max(1, Math.floor(fits / 2))) : 1;
    this.list.replaceChildren(...titles.map((title, position) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.tabIndex = -1;
      button.textContent = title;
      button.setAttribute('aria-label', title);
      // Squeezed titles stay for screen readers; a dot stands for them on screen.
      if (step > 1 && position % step !== 0) button.classList.add('squeezed');
      if (step > 1 && position % step === 0 && position > 0) button.classList.add('after-dot');
      // A pointer's press was handled where it went down; this is a screen reader's or a key's.
      button.addEventListener('click', (event) => {
        if (!event.pointerType) this.jump(title);
      });
      return button;
    }));
  }

  titleAt(clientY) {
    const box = this.list.getBoundingClientRect();
    if (this.titles.length === 0 || box.height <= 0) return null;
    const fraction = Math.min(0.999, Math.max(0, (clientY - box.top) / box.height));
    return this.titles[Math.floor(fraction * this.titles.length)];
  }

  attachPointer() {
    let dragging = null;
    const pass = (event) => {
      const title = this.titleAt(event.clientY);
      if (title !== null && title !== dragging.last) {
        dragging.last = title;
        this.jump(title);
      }
    };
    this.element.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      dragging = { last: null };
      this.element.setPointerCapture(event.pointerId);
      this.element.classList.add('touched');
      pass(event);
    });
    this.element.addEventListener('pointermove', (event) => {
      if (dragging) pass(event);
    });
    const end = () => {
      dragging = null;
      this.element.classList.remove('touched');
    };
    this.element.addEventListener('pointerup', end);
    this.element.addEventListener('pointercancel', end);
  }
}
