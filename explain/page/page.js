// Plays explained searches back, read by read. Everything shown comes from
// the events that the explaining library recorded and packed into
// the data block (the format is described in explain/page.cpp); the
// script decodes, counts and draws them, and decides nothing about a search.
'use strict';
(function () {
  const ROLES = ['compare', 'look-ahead', 'probe', 'edge'];
  const DROPPED = [null, 'repeat', 'bound'];
  const RESULTS = [null, 'match', 'mismatch', 'edge', 'no edge'];
  const DROP_REASONS = {
    repeat: 'already recorded inside the open pruning window',
    bound: 'outside the text bound',
  };

  const data = JSON.parse(document.getElementById('smtrace-data').textContent);

  // ---- decoding ---------------------------------------------------------

  function bytesOf(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  function Reader(bytes) {
    this.bytes = bytes;
    this.at = 0;
  }
  Reader.prototype.unsigned = function () {
    let value = 0;
    let scale = 1;
    let c;
    do {
      c = this.bytes[this.at++];
      value += (c & 127) * scale;
      scale *= 128;
    } while (c & 128);
    return value;
  };
  Reader.prototype.signed = function () {
    const u = this.unsigned();
    return u % 2 ? -(u + 1) / 2 : u / 2;
  };
  Reader.prototype.byte = function () {
    return this.bytes[this.at++];
  };

  const pattern = bytesOf(data.pattern);
  const text = bytesOf(data.text);
  const m = data.patternLength;
  const n = data.textLength;

  function decode(search) {
    const N = search.readCount;
    const A = search.attemptCount;
    const L = {
      search: search,
      N: N,
      A: A,
      position: new Int32Array(N),
      window: new Int32Array(N),
      patternIndex: new Int32Array(N),
      flags: new Uint8Array(N),
      byte: new Uint8Array(N),
      attempt: new Int32Array(N),
      traceIndex: new Int32Array(N),
    };
    if (search.hasEdges) {
      for (const name of ['from', 'to', 'edgeShift', 'terminal', 'd', 's']) L[name] = new Int32Array(N);
    }
    const counters = ['recorded', 'compare', 'lookAhead', 'probe', 'edge', 'dropped', 'droppedRepeat', 'droppedBound'];
    L.prefix = {};
    for (const name of counters) L.prefix[name] = new Int32Array(N + 1);
    L.reach = new Int32Array(N); // the furthest position read so far
    let lo = Math.min(0, n - 1);
    let hi = Math.max(n - 1, 0);

    const r = new Reader(bytesOf(search.reads));
    const P = L.prefix;
    let position = 0;
    let window = 0;
    let recorded = 0;
    let reach = -Infinity;
    let previousTo = 0;
    for (let i = 0; i < N; i++) {
      const f = r.byte();
      position += r.signed();
      window += r.signed();
      L.flags[i] = f & 127;
      L.position[i] = position;
      L.window[i] = window;
      L.patternIndex[i] = r.unsigned() - 1;
      L.byte[i] = f & 128 ? r.byte() : text[position];
      const role = f & 3;
      const dropped = (f >> 2) & 3;
      if (role === 3) {
        const e = r.byte();
        L.terminal[i] = (e & 3) === 3 ? r.signed() : (e & 3) - 1;
        L.from[i] = e & 4 ? r.signed() : previousTo;
        if (e & 8) {
          L.to[i] = r.signed();
          L.edgeShift[i] = r.signed();
          L.d[i] = r.signed();
          L.s[i] = r.signed();
        } else {
          L.to[i] = -1;
          L.edgeShift[i] = -1;
          L.d[i] = 0;
          L.s[i] = 0;
        }
        previousTo = L.to[i];
      }
      L.traceIndex[i] = dropped === 0 ? recorded++ : -1;
      P.recorded[i + 1] = recorded;
      P.compare[i + 1] = P.compare[i] + (role === 0);
      P.lookAhead[i + 1] = P.lookAhead[i] + (role === 1);
      P.probe[i + 1] = P.probe[i] + (role === 2);
      P.edge[i + 1] = P.edge[i] + (role === 3);
      P.dropped[i + 1] = P.dropped[i] + (dropped !== 0);
      P.droppedRepeat[i + 1] = P.droppedRepeat[i] + (dropped === 1);
      P.droppedBound[i + 1] = P.droppedBound[i] + (dropped === 2);
      if (position > reach) reach = position;
      L.reach[i] = reach;
      if (position < lo) lo = position;
      if (position > hi) hi = position;
      if (window < lo) lo = window;
      if (window + m - 1 > hi) hi = window + m - 1;
    }
    if (search.traceIndex !== null) {
      const t = new Reader(bytesOf(search.traceIndex));
      for (let i = 0; i < N; i++) L.traceIndex[i] = t.signed();
    }

    const a = new Reader(bytesOf(search.attempts));
    L.attemptWindow = new Int32Array(A);
    L.attemptFirst = new Int32Array(A);
    L.attemptReads = new Int32Array(A);
    L.attemptKind = new Int32Array(A);
    L.attemptFirstMove = new Int32Array(A);
    L.attemptMoves = new Int32Array(A);
    L.attemptFirstNote = new Int32Array(A);
    L.attemptNotes = new Int32Array(A);
    let end = 0;
    window = 0;
    let moves = 0;
    let notes = 0;
    for (let k = 0; k < A; k++) {
      window += a.signed();
      const first = end + a.signed();
      L.attemptWindow[k] = window;
      L.attemptFirst[k] = first;
      L.attemptReads[k] = a.unsigned();
      L.attemptKind[k] = a.unsigned();
      L.attemptFirstMove[k] = moves;
      L.attemptMoves[k] = a.unsigned();
      L.attemptFirstNote[k] = notes;
      L.attemptNotes[k] = a.unsigned();
      moves += L.attemptMoves[k];
      notes += L.attemptNotes[k];
      end = first + L.attemptReads[k];
      if (window < lo) lo = window;
      if (window + m - 1 > hi) hi = window + m - 1;
    }
    if (search.readAttempt !== null) {
      const t = new Reader(bytesOf(search.readAttempt));
      for (let i = 0; i < N; i++) L.attempt[i] = t.signed();
    } else {
      for (let k = 0; k < A; k++) {
        L.attempt.fill(k, L.attemptFirst[k], L.attemptFirst[k] + L.attemptReads[k]);
      }
    }

    const mv = new Reader(bytesOf(search.moves));
    L.moveAfter = new Int32Array(moves);
    L.moveWindow = new Int32Array(moves);
    L.moveShift = new Int32Array(moves);
    L.moveKind = new Int32Array(moves);
    const nt = new Reader(bytesOf(search.notes));
    L.noteAfter = new Int32Array(notes);
    L.noteText = new Int32Array(notes);
    for (let k = 0; k < A; k++) {
      let w = L.attemptWindow[k];
      for (let j = L.attemptFirstMove[k]; j < L.attemptFirstMove[k] + L.attemptMoves[k]; j++) {
        const after = mv.unsigned();
        L.moveAfter[j] = after === 0 ? -1 : L.attemptFirst[k] + after - 1;
        w += mv.signed();
        L.moveWindow[j] = w;
        L.moveShift[j] = mv.signed();
        L.moveKind[j] = mv.unsigned();
        if (w < lo) lo = w;
        if (w + m - 1 > hi) hi = w + m - 1;
      }
      for (let j = L.attemptFirstNote[k]; j < L.attemptFirstNote[k] + L.attemptNotes[k]; j++) {
        const after = nt.unsigned();
        L.noteAfter[j] = after === 0 ? -1 : L.attemptFirst[k] + after - 1;
        L.noteText[j] = nt.unsigned();
      }
    }
    L.lowest = lo;
    L.highest = hi;
    return L;
  }

  // ---- what a read is ---------------------------------------------------

  function readAt(L, i) {
    const f = L.flags[i];
    const read = {
      index: i,
      number: i + 1,
      position: L.position[i],
      window: L.window[i],
      patternIndex: L.patternIndex[i],
      byte: L.byte[i],
      role: ROLES[f & 3],
      dropped: DROPPED[(f >> 2) & 3],
      result: RESULTS[(f >> 4) & 7],
      traceIndex: L.traceIndex[i],
      attempt: L.attempt[i],
    };
    if (read.role === 'edge') {
      read.from = L.from[i];
      read.to = L.to[i];
      read.edgeShift = L.edgeShift[i];
      read.terminal = L.terminal[i];
      read.d = L.d[i];
      read.s = L.s[i];
    }
    return read;
  }

  function counts(L, k) {
    // k reads done: the counts over reads 0 to k - 1
    const P = L.prefix;
    let attempts = 0;
    if (k >= L.N) {
      attempts = L.A;
    } else if (k > 0) {
      // attempts begun by read k - 1: those whose first read is at most k - 1
      let low = 0;
      let high = L.A;
      while (low < high) {
        const mid = (low + high) >> 1;
        if (L.attemptFirst[mid] <= k - 1) low = mid + 1;
        else high = mid;
      }
      attempts = low;
    }
    return {
      reads: k,
      recorded: P.recorded[k],
      compare: P.compare[k],
      lookAhead: P.lookAhead[k],
      probe: P.probe[k],
      edge: P.edge[k],
      dropped: P.dropped[k],
      droppedRepeat: P.droppedRepeat[k],
      droppedBound: P.droppedBound[k],
      attempts: attempts,
    };
  }

  function attemptKind(L, a) {
    const kind = L.search.attemptKinds[L.attemptKind[a]];
    return { outcome: kind[0], shift: kind[1], source: kind[2], table: kind[3], key: kind[4] };
  }

  function moveAt(L, j) {
    const kind = L.search.moveKinds[L.moveKind[j]];
    return {
      after: L.moveAfter[j],
      window: L.moveWindow[j],
      shift: L.moveShift[j],
      source: kind[0],
      table: kind[1],
      key: kind[2],
    };
  }

  // The first read of the next attempt that has reads, or -1.
  function nextAttemptRead(L, i) {
    for (let a = L.attempt[i] + 1; a < L.A; a++) {
      if (L.attemptReads[a] > 0) return L.attemptFirst[a];
    }
    return -1;
  }

  // ---- showing bytes ----------------------------------------------------

  function hex(c) {
    return (c < 16 ? '0' : '') + c.toString(16).toUpperCase();
  }

  // A byte as the library writes table keys: printable ASCII as it is,
  // anything else (the space too) as \xNN.
  function keyOf(c) {
    return c > 0x20 && c < 0x7f ? String.fromCharCode(c) : '\\x' + hex(c);
  }

  // A byte for the text and pattern rows.
  function glyph(c) {
    if (c === 0x20) return '\u2423';
    if (c > 0x20 && c < 0x7f) return String.fromCharCode(c);
    return hex(c);
  }

  function quote(c) {
    return c >= 0x20 && c < 0x7f ? "'" + String.fromCharCode(c) + "'" : '\\x' + hex(c);
  }

  function bytesText(bytes, limit) {
    let out = '';
    for (let i = 0; i < bytes.length && i < limit; i++) {
      const c = bytes[i];
      out += c >= 0x20 && c < 0x7f ? String.fromCharCode(c) : '\\x' + hex(c);
    }
    return bytes.length > limit ? out + '\u2026' : out;
  }

  function plural(count, one, many) {
    return count.toLocaleString('en') + ' ' + (count === 1 ? one : many);
  }

  function el(tag, attributes, children) {
    const e = document.createElement(tag);
    if (attributes) {
      for (const name in attributes) {
        if (name === 'text') e.textContent = attributes[name];
        else if (name === 'class') e.className = attributes[name];
        else e.setAttribute(name, attributes[name]);
      }
    }
    if (children) for (const c of children) e.appendChild(c);
    return e;
  }

  // The mark of a read: a symbol and a class, so that neither colour nor
  // shape alone tells what the read did.
  function markOf(read) {
    let symbol;
    let kind;
    if (read.role === 'compare') {
      if (read.result === 'match') [symbol, kind] = ['\u2713', 'match'];
      else if (read.result === 'mismatch') [symbol, kind] = ['\u2717', 'mismatch'];
      else [symbol, kind] = ['\u2022', 'plain'];
    } else if (read.role === 'look-ahead') {
      [symbol, kind] = ['\u00BB', 'look'];
    } else if (read.role === 'probe') {
      [symbol, kind] = ['\u25C6', 'probe'];
    } else if (read.result === 'edge') {
      [symbol, kind] = ['\u2192', 'edge'];
    } else {
      [symbol, kind] = ['\u2298', 'noedge'];
    }
    return { symbol: symbol, kind: kind, dropped: read.dropped !== null };
  }

  // What a read did, in words.
  function describe(read) {
    const y = 'y[' + read.position + '] = ' + quote(read.byte);
    let what;
    if (read.role === 'compare') {
      if (read.patternIndex >= 0 && read.patternIndex < m) {
        what = 'compared with x[' + read.patternIndex + '] = ' + quote(pattern[read.patternIndex]);
      } else {
        what = 'compared with no pattern byte';
      }
      if (read.result) what += ': ' + read.result;
    } else if (read.role === 'look-ahead') {
      what = 'looked ahead past the window to choose the shift';
    } else if (read.role === 'probe') {
      what = 'probed: looked up the list of pattern positions of ' + quote(read.byte);
    } else if (read.result === 'edge') {
      what = 'edge from vertex ' + read.from + ' by ' + quote(read.byte) + ' to vertex ' + read.to +
        (read.edgeShift >= 0 ? ' (edge shift ' + read.edgeShift + ')' : '') +
        (read.terminal === 1 ? ', terminal' : '') + '; d = ' + read.d + ', s = ' + read.s;
    } else {
      what = 'no edge from vertex ' + read.from + ' by ' + quote(read.byte) + ': the scan ends';
    }
    return { y: y, what: what };
  }

  // ---- the text strip ---------------------------------------------------

  // Rows of cells under each other, one column per text position; only the
  // columns that fit are built, and they show whatever part of the text the
  // current read needs.
  function Strip(parent, L, compact) {
    this.L = L;
    this.compact = compact;
    this.start = null;
    this.root = el('div', { class: 'strip' + (compact ? ' compact' : ''), 'aria-hidden': 'true' });
    const names = compact ? ['pos', 'text', 'pattern', 'read'] : ['position', 'text', 'pattern', 'read', 'next'];
    this.heads = el('div', { class: 'heads' });
    for (const name of names) this.heads.appendChild(el('span', { text: name }));
    this.cells = el('div', { class: 'cells' });
    this.root.appendChild(this.heads);
    this.root.appendChild(this.cells);
    parent.appendChild(this.root);
    this.columns = [];
    this.count = 0;
  }

  Strip.prototype.build = function () {
    let cell = parseFloat(getComputedStyle(this.root).getPropertyValue('--cell')) || 24;
    const width = this.root.clientWidth - this.heads.offsetWidth - 2;
    const span = this.L.highest - this.L.lowest + 1;
    const count = Math.max(1, Math.min(span, Math.max(4, Math.floor(width / cell))));
    // a short text gets wider columns, up to about twice the usual
    if (count === span) cell = Math.max(cell, Math.min(Math.floor(width / span), Math.round(cell * 1.75)));
    this.root.classList.toggle('roomy', cell >= 34);
    if (count === this.count && cell === this.cell) return;
    this.cell = cell;
    this.count = count;
    this.cells.textContent = '';
    this.columns = [];
    const rows = this.compact ? 4 : 5;
    for (let c = 0; c < count; c++) {
      const col = el('div', { class: 'col' });
      col.style.width = cell + 'px';
      const spans = [];
      for (let k = 0; k < rows; k++) {
        const s = document.createElement('span');
        col.appendChild(s);
        spans.push(s);
      }
      this.cells.appendChild(col);
      this.columns.push({ col: col, spans: spans });
    }
    this.start = null;
  };

  // Shows read i; center, when given, is a position to keep in the middle.
  Strip.prototype.render = function (i, center) {
    this.build();
    const L = this.L;
    const C = this.count;
    const read = readAt(L, i);
    const lowest = L.lowest;
    const highest = Math.max(L.highest, lowest + C - 1);
    let start = this.start === null ? lowest : this.start;
    if (center !== undefined) {
      start = center - (C >> 1);
    } else {
      const lo = Math.min(read.position, read.window);
      const hi = Math.max(read.position, read.window + m - 1);
      if (hi - lo + 1 > C) {
        if (read.position < start || read.position >= start + C) start = read.position - (C >> 1);
      } else if (lo < start || hi >= start + C) {
        start = lo - ((C - (hi - lo + 1)) >> 1);
      }
    }
    start = Math.max(lowest, Math.min(start, highest - C + 1));
    this.start = start;

    // Earlier reads of the same attempt, by position: the latest one shows.
    const a = read.attempt;
    const earlier = new Map();
    const from = Math.max(L.attemptFirst[a], i - 2000);
    for (let j = from; j < i; j++) {
      const p = L.position[j];
      if (p >= start && p < start + C) earlier.set(p, j);
    }
    // The window the search moves to next: a move after this read, or the
    // next attempt's window after its last read.
    let next = null;
    for (let j = L.attemptFirstMove[a]; j < L.attemptFirstMove[a] + L.attemptMoves[a]; j++) {
      if (L.moveAfter[j] === i) next = L.moveWindow[j];
    }
    if (next === null && i === L.attemptFirst[a] + L.attemptReads[a] - 1 && a + 1 < L.A) {
      next = L.attemptWindow[a + 1];
    }
    // Position labels: as often as they fit, the current read's and the
    // window's always, and no other label close to those.
    const digits = Math.max(String(start).length, String(start + C).length);
    const room = Math.ceil((digits * 6.5 + 4) / this.cell);
    const label = niceStep(1, room);
    const special = [read.position];
    if (Math.abs(read.window - read.position) >= room) special.push(read.window);
    const labelled = (q) => special.includes(q) ||
      (q % label === 0 && special.every((p) => Math.abs(q - p) >= room));
    const mark = markOf(read);
    const compared = read.role === 'compare' || read.role === 'edge' ? read.window + read.patternIndex : null;
    for (let c = 0; c < C; c++) {
      const q = start + c;
      const s = this.columns[c].spans;
      const inside = q >= 0 && q < n;
      let cls = 'col' + (inside ? '' : ' outside');
      if (q === read.position) cls += ' current ' + mark.kind + (mark.dropped ? ' dropped' : '');
      this.columns[c].col.className = cls;
      this.columns[c].col.dataset.position = q;
      s[0].textContent = labelled(q) ? String(q) : '';
      s[0].className = q === read.position ? 'label here' : 'label';
      s[1].textContent = inside ? glyph(text[q]) : '';
      s[1].className = 'y' + (inside && (text[q] <= 0x20 || text[q] >= 0x7f) ? ' odd' : '');
      const j = q - read.window;
      const inWindow = j >= 0 && j < m;
      s[2].textContent = inWindow ? glyph(pattern[j]) : '';
      s[2].className = 'x' + (inWindow ? ' in' : '') + (j === 0 ? ' first' : '') +
        (inWindow && q === compared ? ' compared ' + mark.kind : '');
      if (q === read.position) {
        s[3].textContent = mark.symbol;
        s[3].className = 'mark ' + mark.kind + (mark.dropped ? ' dropped' : '');
      } else if (earlier.has(q)) {
        const e = markOf(readAt(L, earlier.get(q)));
        s[3].textContent = e.symbol;
        s[3].className = 'mark past ' + e.kind + (e.dropped ? ' dropped' : '');
      } else {
        s[3].textContent = '';
        s[3].className = 'mark';
      }
      if (!this.compact) {
        const k = next === null ? -1 : q - next;
        s[4].textContent = k >= 0 && k < m ? glyph(pattern[k]) : '';
        s[4].className = 'x ghost' + (k >= 0 && k < m ? ' in' : '') + (k === 0 ? ' first' : '');
      }
    }
  };

  // ---- the plot ---------------------------------------------------------

  const COLOURS = {
    match: '#1a7f37', mismatch: '#cf222e', plain: '#57606a', look: '#0969da',
    probe: '#8250df', edge: '#0a7b83', noedge: '#bc4c00',
  };
  const KINDS = ['match', 'mismatch', 'plain', 'look', 'probe', 'edge', 'noedge'];

  function kindIndex(L, i) {
    const f = L.flags[i];
    const role = f & 3;
    const result = (f >> 4) & 7;
    if (role === 0) return result === 1 ? 0 : result === 2 ? 1 : 2;
    if (role === 1) return 3;
    if (role === 2) return 4;
    return result === 3 ? 5 : 6;
  }

  // Read order (downwards) against text position (rightwards). The whole
  // search is drawn once into a picture of its own; the view near the
  // current read draws only the reads in it.
  function Plot(parent, L, pick) {
    this.L = L;
    this.pick = pick;
    this.mode = L.N > 400 ? 'near' : 'whole';
    this.root = el('figure', { class: 'plot' });
    const bar = el('figcaption');
    bar.appendChild(el('span', { text: 'Reads (downwards, in order) against text position' }));
    this.select = el('select', { 'aria-label': 'Plot view' });
    this.select.appendChild(el('option', { value: 'whole', text: 'whole search' }));
    this.select.appendChild(el('option', { value: 'near', text: 'near this read' }));
    this.select.value = this.mode;
    bar.appendChild(this.select);
    this.root.appendChild(bar);
    this.canvas = el('canvas', {
      role: 'img',
      'aria-label': 'Plot of the reads: click a mark to go to that read',
    });
    this.root.appendChild(this.canvas);
    parent.appendChild(this.root);
    this.cache = null;
    this.select.addEventListener('change', () => {
      this.mode = this.select.value;
      this.render(this.i);
    });
    this.canvas.addEventListener('click', (event) => {
      const box = this.canvas.getBoundingClientRect();
      const j = this.nearest(event.clientX - box.left, event.clientY - box.top);
      if (j >= 0) this.pick(j);
    });
  }

  Plot.prototype.view = function (i) {
    const L = this.L;
    const width = this.canvas.clientWidth;
    const height = this.canvas.clientHeight;
    const g = { left: 52, top: 8, right: 10, bottom: 26, width: width, height: height };
    g.w = Math.max(10, width - g.left - g.right);
    g.h = Math.max(10, height - g.top - g.bottom);
    if (this.mode === 'whole') {
      g.r0 = 0;
      g.r1 = Math.max(L.N - 1, 1);
      g.x0 = L.lowest;
      g.x1 = Math.max(L.highest, L.lowest + 1);
    } else {
      const R = 40;
      g.r0 = Math.max(0, Math.min(i - R, L.N - 1 - 2 * R));
      g.r1 = Math.max(g.r0 + 1, Math.min(L.N - 1, g.r0 + 2 * R));
      let lo = L.window[i];
      let hi = L.window[i] + m - 1;
      for (let j = g.r0; j <= g.r1 && j < L.N; j++) {
        if (L.position[j] < lo) lo = L.position[j];
        if (L.position[j] > hi) hi = L.position[j];
      }
      if (hi - lo < 16) {
        const grow = (16 - (hi - lo)) >> 1;
        lo -= grow;
        hi = lo + 16;
      }
      g.x0 = lo - 1;
      g.x1 = hi + 1;
    }
    g.px = (p) => g.left + ((p - g.x0 + 0.5) / (g.x1 - g.x0 + 1)) * g.w;
    g.py = (r) => g.top + ((r - g.r0 + 0.5) / (g.r1 - g.r0 + 1)) * g.h;
    return g;
  };

  Plot.prototype.nearest = function (x, y) {
    const L = this.L;
    const g = this.g;
    if (!g || L.N === 0) return -1;
    const rowHeight = g.h / (g.r1 - g.r0 + 1);
    const reach = Math.max(1, Math.ceil(6 / rowHeight));
    const centre = Math.round(g.r0 + ((y - g.top) / g.h) * (g.r1 - g.r0 + 1) - 0.5);
    let best = -1;
    let bestDistance = Infinity;
    for (let j = Math.max(g.r0, centre - reach); j <= Math.min(g.r1, centre + reach, L.N - 1); j++) {
      const dx = g.px(L.position[j]) - x;
      const dy = g.py(j) - y;
      const distance = dx * dx + dy * dy;
      if (distance < bestDistance) {
        bestDistance = distance;
        best = j;
      }
    }
    return bestDistance <= 24 * 24 ? best : -1;
  };

  Plot.prototype.size = function () {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.round(this.canvas.clientWidth * ratio);
    const height = Math.round(this.canvas.clientHeight * ratio);
    if (this.canvas.width !== width || this.canvas.height !== height) {
      this.canvas.width = width;
      this.canvas.height = height;
      this.cache = null;
    }
    return ratio;
  };

  Plot.prototype.drawAxes = function (ctx, g) {
    ctx.fillStyle = '#57606a';
    ctx.strokeStyle = '#d0d7de';
    ctx.font = '11px "DejaVu Sans", sans-serif';
    ctx.lineWidth = 1;
    ctx.strokeRect(g.left - 0.5, g.top - 0.5, g.w + 1, g.h + 1);
    const xs = niceStep((g.x1 - g.x0 + 1) / g.w, 48);
    ctx.textAlign = 'center';
    ctx.textBaseline = 'top';
    for (let p = Math.ceil(g.x0 / xs) * xs; p <= g.x1; p += xs) {
      ctx.fillText(String(p), g.px(p), g.top + g.h + 4);
    }
    const rs = niceStep((g.r1 - g.r0 + 1) / g.h, 22);
    ctx.textAlign = 'right';
    ctx.textBaseline = 'middle';
    for (let r = Math.ceil((g.r0 + 1) / rs) * rs; r <= g.r1 + 1; r += rs) {
      ctx.fillText(String(r), g.left - 6, g.py(r - 1));
    }
  };

  function niceStep(unitsPerPixel, pixels) {
    const want = unitsPerPixel * pixels;
    for (let scale = 1; ; scale *= 10) {
      for (const f of [1, 2, 5]) if (scale * f >= want) return scale * f;
    }
  }

  Plot.prototype.drawReads = function (ctx, g, r0, r1, ratio) {
    const L = this.L;
    const dot = Math.max(2, Math.min(7, g.h / (g.r1 - g.r0 + 1) - 1, g.w / (g.x1 - g.x0 + 1) - 1));
    if (r1 - r0 < 5000) {
      ctx.strokeStyle = '#afb8c1';
      ctx.lineWidth = 1;
      ctx.beginPath();
      for (let j = r0; j <= r1; j++) {
        const x = g.px(L.position[j]);
        const y = g.py(j);
        if (j === r0) ctx.moveTo(x, y);
        else ctx.lineTo(x, y);
      }
      ctx.stroke();
      for (let j = r0; j <= r1; j++) {
        const x = g.px(L.position[j]);
        const y = g.py(j);
        const colour = COLOURS[KINDS[kindIndex(L, j)]];
        if ((L.flags[j] >> 2) & 3) {
          ctx.strokeStyle = colour;
          ctx.strokeRect(x - dot / 2, y - dot / 2, dot, dot);
        } else {
          ctx.fillStyle = colour;
          ctx.fillRect(x - dot / 2, y - dot / 2, dot, dot);
        }
      }
      return;
    }
    // Many reads: one pixel each, straight into the picture.
    const W = Math.round(g.width * ratio);
    const H = Math.round(g.height * ratio);
    const image = ctx.getImageData(0, 0, W, H);
    const pixels = image.data;
    const rgb = KINDS.map((k) => [1, 3, 5].map((o) => parseInt(COLOURS[k].substr(o, 2), 16)));
    for (let j = r0; j <= r1; j++) {
      const x = Math.floor(g.px(L.position[j]) * ratio);
      const y = Math.floor(g.py(j) * ratio);
      if (x < 0 || y < 0 || x >= W || y >= H) continue;
      const c = rgb[kindIndex(L, j)];
      const o = (y * W + x) * 4;
      pixels[o] = c[0];
      pixels[o + 1] = c[1];
      pixels[o + 2] = c[2];
      pixels[o + 3] = 255;
    }
    ctx.putImageData(image, 0, 0);
  };

  Plot.prototype.render = function (i) {
    this.i = i;
    const L = this.L;
    const ratio = this.size();
    const ctx = this.canvas.getContext('2d');
    const g = this.view(i);
    this.g = g;
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    if (this.mode === 'whole' && this.cache && this.cache.width === this.canvas.width) {
      ctx.clearRect(0, 0, this.canvas.width, this.canvas.height);
      ctx.drawImage(this.cache, 0, 0);
    } else {
      ctx.clearRect(0, 0, this.canvas.width, this.canvas.height);
      if (L.N > 0) {
        ctx.save();
        if (L.N - 1 > 5000 && this.mode === 'whole') {
          this.drawReads(ctx, g, g.r0, Math.min(g.r1, L.N - 1), ratio);
          ctx.scale(ratio, ratio);
        } else {
          ctx.scale(ratio, ratio);
          this.drawReads(ctx, g, g.r0, Math.min(g.r1, L.N - 1), ratio);
        }
        this.drawAxes(ctx, g);
        ctx.restore();
      }
      if (this.mode === 'whole') {
        const copy = document.createElement('canvas');
        copy.width = this.canvas.width;
        copy.height = this.canvas.height;
        copy.getContext('2d').drawImage(this.canvas, 0, 0);
        this.cache = copy;
      }
    }
    if (L.N === 0) return;
    // The current read: a ring, and lines to the axes.
    ctx.save();
    ctx.scale(ratio, ratio);
    const x = g.px(L.position[i]);
    const y = g.py(i);
    ctx.strokeStyle = 'rgba(31,35,40,0.35)';
    ctx.setLineDash([3, 3]);
    ctx.beginPath();
    ctx.moveTo(g.left, y);
    ctx.lineTo(g.left + g.w, y);
    ctx.moveTo(x, g.top);
    ctx.lineTo(x, g.top + g.h);
    ctx.stroke();
    ctx.setLineDash([]);
    ctx.lineWidth = 2.5;
    ctx.strokeStyle = '#1f2328';
    ctx.beginPath();
    ctx.arc(x, y, 7, 0, 2 * Math.PI);
    ctx.stroke();
    ctx.restore();
  };

  // ---- one search: the full view ---------------------------------------

  const LEGEND =
    '<span class="mark match">\u2713</span> match <span class="mark mismatch">\u2717</span> mismatch ' +
    '<span class="mark look">\u00BB</span> look-ahead <span class="mark probe">\u25C6</span> probe ' +
    '<span class="mark edge">\u2192</span> edge <span class="mark noedge">\u2298</span> no edge ' +
    '<span class="mark match dropped">\u2713</span> dropped (not in the trace)';

  const COUNTERS = [
    ['reads', 'reads'],
    ['recorded', 'recorded'],
    ['compare', 'comparisons'],
    ['lookAhead', 'look-aheads'],
    ['probe', 'probes'],
    ['edge', 'edges'],
    ['dropped', 'dropped'],
    ['attempts', 'attempts'],
  ];

  function Counters(parent, L, compact) {
    this.L = L;
    this.root = el('dl', { class: 'counters' + (compact ? ' compact' : '') });
    this.values = {};
    for (const [name, label] of COUNTERS) {
      if (name === 'edge' && !L.search.hasEdges) continue;
      const dd = el('dd', { 'data-counter': name, text: '0' });
      this.values[name] = dd;
      this.root.appendChild(el('div', { class: 'counter' }, [el('dt', { text: label }), dd]));
    }
    parent.appendChild(this.root);
  }

  Counters.prototype.render = function (k) {
    const c = counts(this.L, k);
    for (const name in this.values) {
      let value = c[name].toLocaleString('en');
      if (name === 'dropped' && c.dropped > 0) {
        const parts = [];
        if (c.droppedRepeat) parts.push(c.droppedRepeat + ' repeat');
        if (c.droppedBound) parts.push(c.droppedBound + ' bound');
        value += ' (' + parts.join(', ') + ')';
      }
      this.values[name].textContent = value;
    }
    return c;
  };

  function ExplainView(parent, L) {
    this.L = L;
    this.root = el('section', { class: 'lane full', 'aria-label': L.search.title });
    parent.appendChild(this.root);
    this.strip = new Strip(this.root, L, false);
    this.legend = el('p', { class: 'legend', 'aria-hidden': 'true' });
    this.legend.innerHTML = LEGEND + ' ' + '<span class="mark match past">\u2713</span> earlier reads of the attempt';
    this.root.appendChild(this.legend);
    this.now = el('p', { class: 'now', id: 'now', 'aria-live': 'polite' });
    this.root.appendChild(this.now);
    const columns = el('div', { class: 'columns' });
    this.root.appendChild(columns);
    const left = el('div', { class: 'column' });
    const right = el('div', { class: 'column' });
    columns.appendChild(left);
    columns.appendChild(right);
    this.counters = new Counters(left, L, false);
    this.attempt = el('div', { class: 'attempt', id: 'attempt' });
    left.appendChild(this.attempt);
    this.plot = new Plot(right, L, (j) => player.go(j + 1));
    this.tables = el('div', { class: 'tables' });
    right.appendChild(this.tables);
    this.buildTables();
  }

  ExplainView.prototype.buildTables = function () {
    this.entries = new Map();
    const tables = this.L.search.tables;
    this.used = el('p', { class: 'used', id: 'used' });
    this.tables.appendChild(el('h2', { text: 'Preprocessing tables' }));
    this.tables.appendChild(this.used);
    const most = 3000;
    for (const table of tables) {
      const box = el('div', { class: 'table' });
      box.appendChild(el('h3', { text: table.name }));
      box.appendChild(el('p', { class: 'about', text: table.about }));
      const list = el('ul', { class: 'entries', 'data-table': table.name });
      table.entries.slice(0, most).forEach(([key, values]) => {
        const item = el('li', { 'data-key': key }, [
          el('span', { class: 'key', text: key }),
          el('span', { class: 'value', text: values.join(', ') }),
        ]);
        list.appendChild(item);
        this.entries.set(table.name + '\u0000' + key, item);
      });
      box.appendChild(list);
      if (table.entries.length > most) {
        box.appendChild(el('p', { class: 'about', text: 'first ' + most + ' of ' + table.entries.length + ' entries' }));
      }
      this.tables.appendChild(box);
    }
    if (tables.length === 0) this.used.textContent = 'This algorithm fills no table.';
    this.lit = null;
  };

  // The table entry the current read led to, if any: the entry of a move
  // made right after it, else the shift's entry at the end of its attempt,
  // else the automaton's edge that it followed.
  function usedEntry(L, read) {
    const a = read.attempt;
    for (let j = L.attemptFirstMove[a]; j < L.attemptFirstMove[a] + L.attemptMoves[a]; j++) {
      const move = moveAt(L, j);
      if (move.after === read.index && move.table) return { table: move.table, key: move.key, why: 'window move: ' + move.source };
    }
    const last = read.index === L.attemptFirst[a] + L.attemptReads[a] - 1;
    const kind = attemptKind(L, a);
    if (last && kind.table) return { table: kind.table, key: kind.key, why: 'shift: ' + kind.source };
    if (read.role === 'edge' && read.result === 'edge') {
      return { table: 'edges', key: read.from + ' ' + keyOf(read.byte), why: 'the edge followed by this read' };
    }
    return null;
  }

  ExplainView.prototype.render = function (k) {
    const L = this.L;
    if (L.N === 0) {
      this.now.textContent = 'This search made no reads' +
        (L.search.occurrence !== null ? '; the occurrence is at ' + L.search.occurrence : '') + '.';
      this.counters.render(0);
      return;
    }
    const i = k - 1;
    const read = readAt(L, i);
    this.strip.render(i);
    const c = this.counters.render(k);
    const words = describe(read);
    const mark = markOf(read);
    this.now.textContent = '';
    this.now.append(
      el('span', { class: 'step', text: 'Read ' + read.number.toLocaleString('en') + ' of ' + L.N.toLocaleString('en') }),
      ' \u00B7 ',
      el('span', { 'data-field': 'position', text: 'position ' + read.position }),
      ' \u00B7 ' + words.y + ' \u00B7 ',
      el('span', { 'data-field': 'role', text: read.role }),
      ': ',
      el('span', { class: 'mark ' + mark.kind + (mark.dropped ? ' dropped' : ''), text: mark.symbol }),
      ' ' + words.what + ' \u00B7 ',
      el('span', {
        'data-field': 'recorded',
        class: read.dropped ? 'dropped-note' : '',
        text: read.dropped ? 'dropped, not in the trace (' + read.dropped + ': ' + DROP_REASONS[read.dropped] + ')'
          : 'recorded as trace[' + read.traceIndex + ']',
      }));
    const lane = this.root.dataset;
    lane.read = read.number;
    lane.position = read.position;
    lane.role = read.role;
    lane.result = read.result || '';
    lane.dropped = read.dropped || '';
    lane.window = read.window;
    lane.attempt = read.attempt + 1;
    lane.attemptWindow = L.attemptWindow[read.attempt];
    lane.traceIndex = read.traceIndex;
    this.renderAttempt(read, c);
    this.renderTables(read);
    this.plot.render(i);
  };

  ExplainView.prototype.renderAttempt = function (read, c) {
    const L = this.L;
    const a = read.attempt;
    const box = this.attempt;
    box.textContent = '';
    const first = L.attemptFirst[a];
    const count = L.attemptReads[a];
    box.appendChild(el('h2', { text: 'Attempt ' + (a + 1).toLocaleString('en') + ' of ' + L.A.toLocaleString('en') }));
    box.appendChild(el('p', {
      'data-field': 'attempt-window',
      text: 'window at ' + L.attemptWindow[a] + ' (x[0] under y[' + L.attemptWindow[a] + ']), reads ' +
        (first + 1).toLocaleString('en') + (count > 1 ? '\u2013' + (first + count).toLocaleString('en') : '') +
        (read.window !== L.attemptWindow[a] ? '; the window is now at ' + read.window : ''),
    }));
    const moves = L.attemptMoves[a];
    if (moves > 0) {
      const list = el('ol', { class: 'moves' });
      const shown = Math.min(moves, 50);
      let from = L.attemptFirstMove[a];
      // keep the moves around the current read in the list
      for (let j = from; j < from + moves; j++) {
        if (L.moveAfter[j] >= read.index) {
          from = Math.max(L.attemptFirstMove[a], j - 10);
          break;
        }
      }
      from = Math.min(from, L.attemptFirstMove[a] + moves - shown);
      for (let j = from; j < from + shown; j++) {
        const move = moveAt(L, j);
        const when = move.after < 0 ? 'before its first read' : 'after read ' + (move.after + 1);
        const state = move.after === read.index ? 'now' : move.after < read.index ? 'done' : 'later';
        list.appendChild(el('li', {
          class: state,
          text: when + ': window to ' + move.window + ' (' + (move.shift >= 0 ? '+' : '') + move.shift + ')' +
            (move.source ? ', ' + move.source : ''),
        }));
      }
      box.appendChild(el('h3', { text: 'Window moves in this attempt (' + moves + ')' }));
      box.appendChild(list);
    }
    const notes = [];
    for (let j = L.attemptFirstNote[a]; j < L.attemptFirstNote[a] + L.attemptNotes[a]; j++) {
      if (L.noteAfter[j] <= read.index) notes.push(L.search.strings[L.noteText[j]]);
    }
    if (notes.length) {
      box.appendChild(el('h3', { text: 'Notes' }));
      box.appendChild(el('ul', { class: 'notes' }, notes.map((t) => el('li', { text: t }))));
    }
    const last = read.index === first + count - 1;
    const kind = attemptKind(L, a);
    const end = el('p', { class: 'outcome', 'data-field': 'outcome' });
    if (last) {
      end.appendChild(el('strong', { text: 'Outcome: ' + kind.outcome }));
      if (kind.shift !== null) {
        end.append(' \u00B7 shift ' + kind.shift + ' from ' + kind.source +
          (a + 1 < L.A ? ' \u00B7 next window at ' + L.attemptWindow[a + 1] : ''));
      }
    } else {
      end.textContent = 'The attempt goes on (' + plural(first + count - 1 - read.index, 'read', 'reads') + ' more).';
    }
    box.appendChild(end);
    if (read.index === L.N - 1) {
      box.appendChild(el('p', {
        class: 'over',
        text: 'Search over: ' + (L.search.occurrence !== null ? 'the occurrence at ' + L.search.occurrence : 'no occurrence') +
          '; ' + plural(L.search.counts.reads, 'read', 'reads') + ', ' + L.search.counts.recorded.toLocaleString('en') +
          ' recorded, ' + plural(L.search.counts.attempts, 'attempt', 'attempts') + '.',
      }));
    }
  };

  ExplainView.prototype.renderTables = function (read) {
    if (this.lit) this.lit.classList.remove('lit');
    this.lit = null;
    const used = usedEntry(this.L, read);
    if (!used) {
      if (this.L.search.tables.length) this.used.textContent = 'No table entry is used at this read.';
      delete this.root.dataset.usedTable;
      delete this.root.dataset.usedKey;
      return;
    }
    this.root.dataset.usedTable = used.table;
    this.root.dataset.usedKey = used.key;
    const item = this.entries.get(used.table + '\u0000' + used.key);
    this.used.textContent = 'Entry used: ' + used.table + '[' + used.key + '] \u2014 ' + used.why + '.';
    if (item) {
      item.classList.add('lit');
      this.lit = item;
      const list = item.parentElement;
      const top = item.offsetTop - list.offsetTop;
      if (top < list.scrollTop || top + item.offsetHeight > list.scrollTop + list.clientHeight) {
        list.scrollTop = Math.max(0, top - list.clientHeight / 2);
      }
    }
  };

  // ---- several searches: the compare view ------------------------------

  function CompareLane(parent, L) {
    this.L = L;
    this.root = el('section', { class: 'lane compact', 'aria-label': L.search.title, 'data-algorithm': L.search.algorithm });
    const head = el('h2', {}, [el('span', { text: L.search.title + ' ' }), el('code', { text: L.search.algorithm })]);
    this.root.appendChild(head);
    this.counters = new Counters(this.root, L, true);
    this.strip = new Strip(this.root, L, true);
    this.now = el('p', { class: 'now' });
    this.root.appendChild(this.now);
    parent.appendChild(this.root);
  }

  // Shows this search after k of its reads; center keeps a text position in
  // the middle of the strip.
  CompareLane.prototype.render = function (k, center) {
    const L = this.L;
    this.counters.render(k);
    const lane = this.root.dataset;
    lane.read = k;
    if (L.N === 0 || k === 0) {
      this.now.textContent = L.N === 0 ? 'no reads' : 'not started';
      ['position', 'role', 'result', 'dropped', 'window', 'attempt'].forEach((f) => delete lane[f]);
      this.strip.render(0, center === undefined ? 0 : center);
      return;
    }
    const read = readAt(L, k - 1);
    this.strip.render(k - 1, center);
    const mark = markOf(read);
    const words = describe(read);
    this.now.textContent = '';
    this.now.append(
      el('span', { class: 'step', text: 'read ' + k.toLocaleString('en') + ' of ' + L.N.toLocaleString('en') + (k === L.N ? ' (done)' : '') }),
      ' \u00B7 ',
      el('span', { class: 'mark ' + mark.kind + (mark.dropped ? ' dropped' : ''), text: mark.symbol }),
      ' ' + words.y + ' ' + words.what + (read.dropped ? ' \u00B7 dropped (' + read.dropped + ')' : ''));
    lane.position = read.position;
    lane.role = read.role;
    lane.result = read.result || '';
    lane.dropped = read.dropped || '';
    lane.window = read.window;
    lane.attempt = read.attempt + 1;
  };

  // The number of reads after which search L has first read position p or
  // beyond; all of them if it never does.
  function readsToReach(L, p) {
    let low = 0;
    let high = L.N;
    while (low < high) {
      const mid = (low + high) >> 1;
      if (L.reach[mid] >= p) high = mid;
      else low = mid + 1;
    }
    return low < L.N ? low + 1 : L.N;
  }

  // ---- playing ----------------------------------------------------------

  const lanesRoot = document.getElementById('lanes');
  const searches = data.searches.map(decode);
  const compare = data.mode === 'compare';
  const views = [];

  const player = {
    k: 1,
    byPosition: false,
    playing: false,
    hashTimer: null,
    hashKept: true,
    hashAt: 0,
    lowest: 1,
    highest: 1,
    bounds: function () {
      if (this.byPosition) {
        this.lowest = 0;
        this.highest = Math.max(0, n - 1);
      } else {
        this.lowest = 1;
        this.highest = Math.max(1, ...searches.map((L) => L.N));
      }
    },
    go: function (k, quiet) {
      if (!Number.isFinite(k)) return;
      this.k = Math.max(this.lowest, Math.min(this.highest, Math.round(k)));
      this.render();
      if (!quiet) this.keepHash();
    },
    render: function () {
      const k = this.k;
      if (compare) {
        views.forEach((v) => {
          if (this.byPosition) v.render(readsToReach(v.L, k), k);
          else v.render(Math.min(k, v.L.N));
        });
      } else {
        views[0].render(Math.min(k, searches[0].N));
      }
      const step = document.getElementById('step');
      step.min = this.lowest;
      step.max = this.highest;
      if (document.activeElement !== step) step.value = k;
      document.getElementById('step-total').textContent = 'of ' + this.highest.toLocaleString('en');
      document.body.dataset.step = k;
    },
    keepHash: function () {
      // History changes are rationed by the browser: at most a few a second.
      // A page that may not rewrite its URL (in a frame of a notebook served
      // from file:, whose origin is opaque) plays on without the fragment.
      const write = () => {
        this.hashTimer = null;
        this.hashAt = performance.now();
        try {
          history.replaceState(null, '', '#' + (this.byPosition ? 'pos=' : 'read=') + this.k);
        } catch (refused) {
          this.hashKept = false;
        }
      };
      if (this.hashTimer !== null || !this.hashKept) return;
      const wait = this.hashAt + 150 - performance.now();
      if (wait <= 0 && !this.playing) write();
      else this.hashTimer = setTimeout(write, Math.max(wait, this.playing ? 400 : 0));
    },
    step: function (d) {
      this.go(this.k + d);
    },
    attempt: function (d) {
      if (compare) return;
      const L = searches[0];
      if (L.N === 0) return;
      const i = this.k - 1;
      const a = L.attempt[i];
      if (d > 0) {
        const next = nextAttemptRead(L, i);
        this.go(next >= 0 ? next + 1 : L.N);
      } else if (i > L.attemptFirst[a]) {
        this.go(L.attemptFirst[a] + 1);
      } else {
        for (let b = a - 1; b >= 0; b--) {
          if (L.attemptReads[b] > 0) return this.go(L.attemptFirst[b] + 1);
        }
        this.go(1);
      }
    },
    toggle: function () {
      if (this.playing) this.pause();
      else this.play();
    },
    play: function () {
      if (this.k >= this.highest) this.go(this.lowest);
      this.playing = true;
      const button = document.getElementById('play');
      button.textContent = '\u275A\u275A pause';
      button.setAttribute('aria-label', 'Pause');
      button.setAttribute('aria-pressed', 'true');
      views.forEach((v) => v.now && v.now.setAttribute('aria-live', 'off'));
      let last = performance.now();
      let owed = 0;
      const tick = (now) => {
        if (!this.playing) return;
        owed += ((now - last) / 1000) * Number(document.getElementById('speed').value);
        last = now;
        if (owed >= 1) {
          const steps = Math.floor(owed);
          owed -= steps;
          this.go(this.k + steps);
          if (this.k >= this.highest) return this.pause();
        }
        requestAnimationFrame(tick);
      };
      owed = 1;
      requestAnimationFrame(tick);
    },
    pause: function () {
      this.playing = false;
      const button = document.getElementById('play');
      button.textContent = '\u25B6 play';
      button.setAttribute('aria-label', 'Play');
      button.setAttribute('aria-pressed', 'false');
      views.forEach((v) => v.now && v.now.setAttribute('aria-live', 'polite'));
      this.keepHash();
    },
    fromHash: function () {
      const found = /^#(read|pos)=(-?\d+)$/.exec(location.hash);
      if (!found) return false;
      const byPosition = found[1] === 'pos' && compare;
      if (byPosition !== this.byPosition) setAlign(byPosition);
      this.go(Number(found[2]), true);
      return true;
    },
  };

  function setAlign(byPosition) {
    player.byPosition = byPosition;
    document.getElementById('align').checked = byPosition;
    document.getElementById('step-name').textContent = byPosition ? 'position' : 'read';
    document.getElementById('step').setAttribute('aria-label', byPosition ? 'Go to text position' : 'Go to read');
    player.bounds();
  }

  function describePage() {
    const heading = document.getElementById('heading');
    const help = document.getElementById('help');
    const what = '"' + bytesText(pattern, 40) + '" in ' +
      (n <= 40 ? '"' + bytesText(text, 40) + '"' : 'a text of ' + plural(n, 'character', 'characters'));
    const keys = '\u2190/\u2192 step, Space play/pause, Home/End first/last';
    heading.textContent = '';
    if (compare) {
      heading.textContent = 'All algorithms: ' + what;
      help.textContent = 'Plays every search at once, stepped by read number (or by how far into the text each ' +
        'has read): ' + keys + '; #read=K or #pos=P links to a moment.';
    } else {
      const L = searches[0];
      heading.append(L.search.title + ': ' + what + ' ', el('code', { text: L.search.algorithm }));
      help.textContent = 'Plays its ' + plural(L.N, 'read', 'reads') + ' one at a time, as the library recorded them: ' +
        keys + ', \u2191/\u2193 attempts, click the plot to jump; #read=K links to read K.';
    }
  }

  function build() {
    describePage();
    if (compare) {
      document.getElementById('previous-attempt').hidden = true;
      document.getElementById('next-attempt').hidden = true;
      document.getElementById('align-control').hidden = false;
      const legend = el('p', { class: 'legend', 'aria-hidden': 'true' });
      legend.innerHTML = LEGEND;
      lanesRoot.appendChild(legend);
      lanesRoot.classList.add('compare');
      searches.forEach((L) => views.push(new CompareLane(lanesRoot, L)));
      for (const r of data.refused) {
        lanesRoot.appendChild(el('section', { class: 'lane compact refused', 'data-algorithm': r.algorithm }, [
          el('h2', { text: r.algorithm }),
          el('p', { text: 'not run: ' + r.reason }),
        ]));
      }
    } else {
      views.push(new ExplainView(lanesRoot, searches[0]));
    }
    player.bounds();
  }

  function interactive(target) {
    const tag = target && target.tagName;
    return tag === 'INPUT' || tag === 'SELECT' || tag === 'TEXTAREA';
  }

  function wire() {
    const on = (id, f) => document.getElementById(id).addEventListener('click', f);
    on('first', () => player.go(player.lowest));
    on('last', () => player.go(player.highest));
    on('back', () => player.step(-1));
    on('forward', () => player.step(1));
    on('play', () => player.toggle());
    on('previous-attempt', () => player.attempt(-1));
    on('next-attempt', () => player.attempt(1));
    document.getElementById('step').addEventListener('change', (e) => player.go(Number(e.target.value)));
    document.getElementById('align').addEventListener('change', (e) => {
      // keep the moment: from reads to the position of the first search's
      // current read, or back
      const L = searches[0];
      const k = player.k;
      if (e.target.checked) {
        setAlign(true);
        player.go(L && L.N ? L.position[Math.min(k, L.N) - 1] : 0);
      } else {
        const reads = L && L.N ? readsToReach(L, k) : 1;
        setAlign(false);
        player.go(reads);
      }
    });
    document.addEventListener('keydown', (event) => {
      if (event.altKey || event.ctrlKey || event.metaKey) return;
      if (interactive(event.target)) return;
      const onButton = event.target && event.target.tagName === 'BUTTON';
      switch (event.key) {
        case 'ArrowRight': player.step(1); break;
        case 'ArrowLeft': player.step(-1); break;
        case 'ArrowDown': case 'PageDown': player.attempt(1); break;
        case 'ArrowUp': case 'PageUp': player.attempt(-1); break;
        case 'Home': player.go(player.lowest); break;
        case 'End': player.go(player.highest); break;
        case ' ':
          if (onButton) return; // the button's own action
          player.toggle();
          break;
        default: return;
      }
      event.preventDefault();
    });
    window.addEventListener('hashchange', () => player.fromHash());
    let resizing = null;
    window.addEventListener('resize', () => {
      if (resizing) cancelAnimationFrame(resizing);
      resizing = requestAnimationFrame(() => {
        resizing = null;
        player.render();
      });
    });
  }

  build();
  wire();
  if (!player.fromHash()) player.go(player.lowest, true);
  document.body.dataset.ready = 'true';
  window.smtracePage = {
    // for tests and for the curious: the state on the page
    step: () => player.k,
    byPosition: () => player.byPosition,
    readyAt: performance.now(),
    // where the plot draws read k (1-based), in page coordinates
    plotPoint: (k) => {
      const plot = views[0] && views[0].plot;
      if (!plot || !plot.g) return null;
      const box = plot.canvas.getBoundingClientRect();
      return { x: box.left + plot.g.px(plot.L.position[k - 1]), y: box.top + plot.g.py(k - 1) };
    },
  };
})();
